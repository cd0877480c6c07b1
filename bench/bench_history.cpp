// Benchmark of the position history: the cost of adding an entry as the history grows to a
// million entries, the memory each entry takes, and one resend pass over 100,000 unacknowledged
// entries, against a scripted server and against peregrix-server on a temporary SQLite database,
// whose own report rate under wrk is the yardstick. Prints its figures; it is not a test.
#include "FigureRow.h"
#include "ScriptedHttpServer.h"
#include "ServerProcess.h"
#include "WrkLoad.h"

#include "history/Main2ViewController.h"

#include "shared/GlobalFunctions.h"

#include "platform/ContentsOfUrl.h"
#include "platform/NotificationCenter.h"
#include "platform/PercentEscapes.h"
#include "platform/Reachability.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

const QString user = QStringLiteral("Jo Ann");
const QString device = QStringLiteral("5f0c3be1a7e04d2c9d2a8b7e6f1e0c3d4b5a6978");

QString report(const QString &base, int id)
{
    return base
        + QStringLiteral("log.php?u=%1&d=%2&lat=51.504512&long=-0.129988&when=20260306140509"
                         "&ver=v2.5&acc=6&speed=11 MPH&id=%3")
              .arg(user, device)
              .arg(id);
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

double microsecondsPerAdd(Main2ViewController &history, const QString &base, int from, int count)
{
    QElapsedTimer clock;
    clock.start();
    for (int id = from; id < from + count; ++id)
        history.addLocation(report(base, id));
    QCoreApplication::processEvents(); // the table redraws once
    return double(clock.nsecsElapsed()) / 1000.0 / count;
}

void measureAdding(const QString &base)
{
    constexpr int total = 1'000'000, sample = 10'000;
    Main2ViewController history;
    history.view()->resize(320, 400);
    history.view()->show();
    QCoreApplication::processEvents();
    const qint64 before = residentBytes();
    const double first = microsecondsPerAdd(history, base, 1, sample);
    microsecondsPerAdd(history, base, sample + 1, total - 2 * sample);
    const double last = microsecondsPerAdd(history, base, total - sample + 1, sample);
    const qint64 after = residentBytes();
    printFigureRow(QStringLiteral("history: cost of an add, the last %1 of %2 entries against "
                                  "the first %1")
                       .arg(sample)
                       .arg(total),
        QStringLiteral("%1 us").arg(last, 0, 'f', 2), QStringLiteral("%1 us").arg(first, 0, 'f', 2),
        last / first);
    printFigureRow(QStringLiteral("history: resident memory per entry at %1 entries").arg(total),
        QStringLiteral("%1 bytes").arg(double(after - before) / total, 0, 'f', 0));
}

struct ResendPass
{
    int entries = 0;
    int acknowledged = 0;
    double startMs = 0;
    double allMs = 0;

    [[nodiscard]] double perSecond() const { return acknowledged / (allMs / 1000.0); }
};

// One press of "Send Missing" over a history of unacknowledged reports to the server at base,
// timed until the last acknowledgement has marked its entry.
ResendPass resendPass(const QString &base, int entries)
{
    GlobalData::sharedGlobalData()->setUrl(base);
    Main2ViewController history;
    history.view();
    for (int id = 1; id <= entries; ++id)
        history.addLocation(report(base, id));
    ResendPass pass;
    pass.entries = entries;
    QEventLoop loop;
    NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("LocationOK"), &loop, [&](const Notification &) {
            if (++pass.acknowledged == entries)
                loop.quit();
        });
    QTimer::singleShot(600'000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    history.sendMissing();
    pass.startMs = double(clock.nsecsElapsed()) / 1e6;
    if (pass.acknowledged < entries)
        loop.exec();
    pass.allMs = double(clock.nsecsElapsed()) / 1e6;
    const QStringList marks = Main2ViewController::sentOKItems();
    if (marks.count(QStringLiteral("OK")) != pass.acknowledged)
        std::fprintf(stderr, "bench_history: %lld entries marked, %d acknowledgements\n",
            marks.count(QStringLiteral("OK")), pass.acknowledged);
    return pass;
}

bool validate(const QString &base, const QString &name, const QString &id)
{
    QString error;
    const QString url = base + QStringLiteral("log.php?u=%1&d=%2").arg(name, id);
    return contentsOfUrl(urlWithString(addingPercentEscapes(url)), &error)
        == QStringLiteral("VALIDATED");
}

bool againstScriptedServer(int entries)
{
    ScriptedHttpServer server;
    server.setResponder([](const QByteArray &requestLine) {
        const qsizetype at = requestLine.indexOf("&id=") + 4;
        const QByteArray id = requestLine.mid(at, requestLine.indexOf('&', at) - at);
        return ScriptedHttpServer::text("OK" + id, 200, true);
    });
    const ResendPass pass = resendPass(server.baseUrl(), entries);
    std::printf("resend to a scripted server: %d acknowledged in %.0f ms, %.0f ms to start\n",
        pass.acknowledged, pass.allMs, pass.startMs);
    printFigureRow(
        QStringLiteral("history: Send Missing over %1 entries, scripted server").arg(entries),
        QStringLiteral("%1 acknowledged/s").arg(pass.perSecond(), 0, 'f', 0));
    return pass.acknowledged == entries;
}

// The server's own rate comes first, so that the resend pass does not leave it a fuller
// database than the one wrk met.
bool againstReferenceServer(int entries)
{
    QTemporaryDir dir;
    const QString scriptFile = dir.filePath(QStringLiteral("reports.lua"));
    ServerProcess server(QStringLiteral(PEREGRIX_SERVER), dir.filePath(QStringLiteral("r.sqlite")));
    if (!WrkLoad::writeReportScript(scriptFile) || !server.start()) {
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(server.output()));
        return false;
    }
    const QString base = server.baseUrl();
    for (int thread = 1; thread <= WrkLoad::threads; ++thread) {
        if (!validate(base, QStringLiteral("bench%1").arg(thread),
                QStringLiteral("bench-%1").arg(thread)))
            return false;
    }
    if (!validate(base, user, device))
        return false;
    const WrkLoad::Run wrk = WrkLoad::run(base, scriptFile, {});
    const ResendPass pass = resendPass(base, entries);
    std::printf("resend to peregrix-server: %d acknowledged in %.0f ms, %.0f ms to start\n",
        pass.acknowledged, pass.allMs, pass.startMs);
    printFigureRow(QStringLiteral("history: Send Missing over %1 entries, peregrix-server (SQLite)")
                       .arg(entries),
        QStringLiteral("%1 acknowledged/s").arg(pass.perSecond(), 0, 'f', 0),
        QStringLiteral("%1 reports/s from wrk, %2 connections")
            .arg(wrk.requestsPerSecond, 0, 'f', 0)
            .arg(WrkLoad::connections),
        pass.perSecond() / wrk.requestsPerSecond);
    return pass.acknowledged == entries && wrk.requests > 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("wrk")).isEmpty()) {
        std::fprintf(stderr, "bench_history: wrk is not installed (scripts/install-deps)\n");
        return 1;
    }
    Reachability::setTestAnswer(Reachability::Reachable);
    // Parts may be named on the command line ("adding", "scripted", "reference"), to profile
    // one of them alone; all run by default.
    const QStringList parts = app.arguments().mid(1);
    const auto wanted = [&](const char *part) { return parts.isEmpty() || parts.contains(part); };
    constexpr int unacknowledged = 100'000;
    bool ok = true;
    if (wanted("adding"))
        measureAdding(QStringLiteral("http://127.0.0.1:1/"));
    if (wanted("scripted"))
        ok = againstScriptedServer(unacknowledged) && ok;
    if (wanted("reference"))
        ok = againstReferenceServer(unacknowledged) && ok;
    return ok ? 0 : 1;
}
