// Load run of peregrix-server on 127.0.0.1 with wrk: position reports stored per second, late
// resends of reports already stored, the same reports on PostgreSQL, and the server's constant
// reply (/ping) for comparison.
// Prints its figures; it is not a test and never fails on speed.
#include "FigureRow.h"
#include "PostgresCluster.h"
#include "ServerProcess.h"

#include "TrackingStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int threads = 2, connections = 8, seconds = 3;

// Each wrk thread reports as a device of its own and counts its ids from 1, as the program
// does; given "late N", it sends its first N reports again and again as late ones.
const char *const script = R"(
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

struct WrkRun
{
    double requestsPerSecond = 0;
    qint64 requests = 0;
    double seconds = 0;
    QString p50, p99; // latency of one request, as wrk writes it ("1.23ms")
    QString errors;
};

WrkRun runWrk(const QString &url, const QString &scriptFile, const QStringList &scriptArguments)
{
    QStringList arguments { "-t" + QString::number(threads), "-c" + QString::number(connections),
        "-d" + QString::number(seconds) + "s", "--latency" };
    if (!scriptFile.isEmpty())
        arguments << "-s" << scriptFile;
    arguments << url;
    if (!scriptArguments.isEmpty())
        arguments << "--" << scriptArguments;
    QProcess wrk;
    wrk.start(QStringLiteral("wrk"), arguments);
    wrk.waitForFinished(seconds * 1000 + 30'000);
    const QString out = QString::fromUtf8(wrk.readAllStandardOutput());
    WrkRun run;
    const QRegularExpressionMatch rate
        = QRegularExpression(QStringLiteral("Requests/sec:\\s+([0-9.]+)")).match(out);
    const QRegularExpressionMatch total
        = QRegularExpression(QStringLiteral("(\\d+) requests in ([0-9.]+)(m?s)")).match(out);
    run.requestsPerSecond = rate.captured(1).toDouble();
    run.requests = total.captured(1).toLongLong();
    const auto percentile = [&out](const char *which) {
        return QRegularExpression(QStringLiteral("\\s%1%\\s+([0-9.]+[a-z]+)").arg(which))
            .match(out)
            .captured(1);
    };
    run.p50 = percentile("50");
    run.p99 = percentile("99");
    run.seconds = total.captured(2).toDouble() / (total.captured(3) == u"ms" ? 1000.0 : 1.0);
    const QRegularExpressionMatch errors
        = QRegularExpression(QStringLiteral("(Socket errors:[^\\n]*|Non-2xx[^\\n]*)")).match(out);
    run.errors = errors.captured(1);
    if (run.requests == 0)
        std::fprintf(stderr, "wrk said:\n%s%s\n", qPrintable(out),
            qPrintable(QString::fromUtf8(wrk.readAllStandardError())));
    return run;
}

struct Stored
{
    qint64 total = 0;
    qint64 fewestOfADevice = 0;
};

Stored storedReports(const QString &database)
{
    TrackingStore store(QStringLiteral("bench"));
    store.open(database);
    Stored stored;
    for (int device = 1; device <= threads; ++device) {
        const qint64 reports = store.summary(QStringLiteral("bench-%1").arg(device)).reports;
        stored.total += reports;
        stored.fewestOfADevice = device == 1 ? reports : std::min(stored.fewestOfADevice, reports);
    }
    return stored;
}

bool validate(QNetworkAccessManager &network, const QString &base, int device)
{
    QNetworkReply *reply = network.get(
        QNetworkRequest(QUrl(base + QStringLiteral("log.php?u=bench%1&d=bench-%1").arg(device))));
    while (!reply->isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    reply->deleteLater();
    return reply->readAll() == "VALIDATED";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("wrk")).isEmpty()) {
        std::fprintf(stderr, "bench_server: wrk is not installed (scripts/install-deps)\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("bench.sqlite"));
    const QString scriptFile = dir.filePath(QStringLiteral("reports.lua"));
    QFile lua(scriptFile);
    if (!lua.open(QIODevice::WriteOnly) || lua.write(script) < 0)
        return 1;
    lua.close();

    ServerProcess server(QStringLiteral(PEREGRIX_SERVER), database);
    if (!server.start()) {
        std::fprintf(stderr, "bench_server: %s\n", qPrintable(server.output()));
        return 1;
    }
    QNetworkAccessManager network;
    for (int device = 1; device <= threads; ++device) {
        if (!validate(network, server.baseUrl(), device))
            return 1;
    }

    std::printf("peregrix-server under wrk on 127.0.0.1: %d threads, %d connections, %d s a run; "
                "database on %s\n",
        threads, connections, seconds, QStorageInfo(dir.path()).fileSystemType().constData());
    const QString reportsUrl = server.baseUrl();
    const WrkRun reports = runWrk(reportsUrl, scriptFile, {});
    const Stored stored = storedReports(database);
    const WrkRun resends
        = runWrk(reportsUrl, scriptFile, { "late", QString::number(stored.fewestOfADevice) });
    const Stored after = storedReports(database);
    const WrkRun ping = runWrk(server.baseUrl() + QStringLiteral("ping"), QString(), {});
    server.terminate();
    std::printf("SQLite: %lld stored of %lld answered %s; late duplicates: %lld new (ids the first "
                "run skipped) %s; /ping %s\n",
        stored.total, reports.requests, qPrintable(reports.errors), after.total - stored.total,
        qPrintable(resends.errors), qPrintable(ping.errors));

    // The same report run on a private PostgreSQL cluster in the temporary folder (its data
    // on the same file system, fsync on, synchronous commit).
    PostgresCluster postgres;
    const QString postgresDatabase
        = postgres.start() ? postgres.createDatabase(QStringLiteral("bench")) : QString();
    if (postgresDatabase.isEmpty()) {
        std::fprintf(stderr, "bench_server: PostgreSQL: %s\n", qPrintable(postgres.error()));
        return 1;
    }
    ServerProcess onPostgres(QStringLiteral(PEREGRIX_SERVER), postgresDatabase);
    if (!onPostgres.start()) {
        std::fprintf(stderr, "bench_server: %s\n", qPrintable(onPostgres.output()));
        return 1;
    }
    for (int device = 1; device <= threads; ++device) {
        if (!validate(network, onPostgres.baseUrl(), device))
            return 1;
    }
    const WrkRun postgresReports = runWrk(onPostgres.baseUrl(), scriptFile, {});
    const Stored postgresStored = storedReports(postgresDatabase);
    onPostgres.terminate();
    std::printf("PostgreSQL: %lld stored of %lld answered %s\n", postgresStored.total,
        postgresReports.requests, qPrintable(postgresReports.errors));

    const QString constant
        = QStringLiteral("%1 requests/s on /ping").arg(ping.requestsPerSecond, 0, 'f', 0);
    const auto storedRow = [&](const QString &figure, const Stored &s, const WrkRun &run) {
        const double rate = s.total / run.seconds;
        printFigureRow(figure,
            QStringLiteral("%1 reports/s (p50 %2, p99 %3)")
                .arg(rate, 0, 'f', 0)
                .arg(run.p50, run.p99),
            constant, rate / ping.requestsPerSecond);
    };
    storedRow(
        QStringLiteral(
            "server: reports stored per second, SQLite with synchronous FULL (wrk, %1 connections)")
            .arg(connections),
        stored, reports);
    storedRow(QStringLiteral(
                  "server: reports stored per second, PostgreSQL 15 with synchronous_commit on"),
        postgresStored, postgresReports);
    printFigureRow(QStringLiteral("server: late duplicates acknowledged per second, SQLite"),
        QStringLiteral("%1 requests/s").arg(resends.requestsPerSecond, 0, 'f', 0), constant,
        resends.requestsPerSecond / ping.requestsPerSecond);
    return 0;
}
