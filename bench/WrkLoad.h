// WrkLoad: peregrix-server's own report rate as wrk measures it, the yardstick the benchmarks
// compare the program's sending against.
#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace WrkLoad {

// Each connection waits for its reply before it asks again, so the connections are the reports
// in flight at once: a handful of phones, or many.
constexpr int threads = 2, connections = 8, manyConnections = 64, seconds = 3;

// Each wrk thread reports as a device of its own and counts its ids from 1, as the program
// does; given "late N", it sends its first N reports again and again as late ones.
inline const char *const reportScript = R"(
local devices = 0
function setup(thread)
    devices = devices + 1
    thread:set("device", devices)
end
function init(args)
    late = args[1] == "late"
    stored = tonumber(args[2] or "0")
    counter = 0
end
function request()
    counter = counter + 1
    if late and counter > stored then counter = 1 end
    local path = "/log.php?u=bench" .. device .. "&d=bench-" .. device
        .. "&lat=51.500000&long=-0.127500&when=20260306140509&ver=v2.5&acc=5&speed=3%20KPH&id="
        .. counter
    if late then path = path .. "&Late=Y" end
    return wrk.format("GET", path)
end
)";

struct Run
{
    double requestsPerSecond = 0;
    qint64 requests = 0;
    double seconds = 0;
    QString p50, p99; // latency of one request, as wrk writes it ("1.23ms")
    QString errors;
};

inline bool writeReportScript(const QString &file)
{
    QFile lua(file);
    return lua.open(QIODevice::WriteOnly) && lua.write(reportScript) >= 0;
}

inline Run run(const QString &url, const QString &scriptFile, const QStringList &scriptArguments,
    int connectionCount = connections)
{
    QStringList arguments { "-t" + QString::number(threads),
        "-c" + QString::number(connectionCount), "-d" + QString::number(seconds) + "s",
        "--latency" };
    if (!scriptFile.isEmpty())
        arguments << "-s" << scriptFile;
    arguments << url;
    if (!scriptArguments.isEmpty())
        arguments << "--" << scriptArguments;
    QProcess wrk;
    wrk.start(QStringLiteral("wrk"), arguments);
    wrk.waitForFinished(seconds * 1000 + 30'000);
    const QString out = QString::fromUtf8(wrk.readAllStandardOutput());
    Run result;
    const QRegularExpressionMatch rate
        = QRegularExpression(QStringLiteral("Requests/sec:\\s+([0-9.]+)")).match(out);
    const QRegularExpressionMatch total
        = QRegularExpression(QStringLiteral("(\\d+) requests in ([0-9.]+)(m?s)")).match(out);
    result.requestsPerSecond = rate.captured(1).toDouble();
    result.requests = total.captured(1).toLongLong();
    const auto percentile = [&out](const char *which) {
        return QRegularExpression(QStringLiteral("\\s%1%\\s+([0-9.]+[a-z]+)").arg(which))
            .match(out)
            .captured(1);
    };
    result.p50 = percentile("50");
    result.p99 = percentile("99");
    result.seconds = total.captured(2).toDouble() / (total.captured(3) == u"ms" ? 1000.0 : 1.0);
    const QRegularExpressionMatch errors
        = QRegularExpression(QStringLiteral("(Socket errors:[^\\n]*|Non-2xx[^\\n]*)")).match(out);
    result.errors = errors.captured(1);
    if (result.requests == 0)
        std::fprintf(stderr, "wrk said:\n%s%s\n", qPrintable(out),
            qPrintable(QString::fromUtf8(wrk.readAllStandardError())));
    return result;
}

} // namespace WrkLoad
