// Benchmark of the position history: the cost of adding an entry as the history grows to a
// million entries, the memory each entry takes, and one resend pass over 100,000 unacknowledged
// entries against a server on 127.0.0.1. Prints its figures; it is not a test.
#include "ScriptedHttpServer.h"

#include "history/Main2ViewController.h"

#include "shared/GlobalFunctions.h"

#include "platform/NotificationCenter.h"
#include "platform/Reachability.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

namespace {

QString report(const QString &base, int id)
{
    return base
        + QStringLiteral("log.php?u=Jo Ann&d=5f0c3be1a7e04d2c9d2a8b7e6f1e0c3d4b5a6978&lat=51.504512"
                         "&long=-0.129988&when=20260306140509&ver=v2.5&acc=6&speed=11 MPH&id=%1")
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

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ScriptedHttpServer server;
    server.setResponder([](const QByteArray &requestLine) {
        const qsizetype at = requestLine.indexOf("&id=") + 4;
        const QByteArray id = requestLine.mid(at, requestLine.indexOf('&', at) - at);
        return ScriptedHttpServer::text("OK" + id, 200, true);
    });
    GlobalData::sharedGlobalData()->setUrl(server.baseUrl());
    Reachability::setTestAnswer(Reachability::Reachable);
    const QString base = server.baseUrl();

    constexpr int total = 1'000'000, sample = 10'000;
    {
        Main2ViewController history;
        history.view()->resize(320, 400);
        history.view()->show();
        QCoreApplication::processEvents();
        const qint64 before = residentBytes();
        const double first = microsecondsPerAdd(history, base, 1, sample);
        microsecondsPerAdd(history, base, sample + 1, total - 2 * sample);
        const double last = microsecondsPerAdd(history, base, total - sample + 1, sample);
        const qint64 after = residentBytes();
        std::printf("history add, first %d entries: %.2f us per add\n", sample, first);
        std::printf("history add, last %d of %d entries: %.2f us per add\n", sample, total, last);
        std::printf("history memory: %.0f bytes per entry (resident, %d entries)\n",
                    double(after - before) / total, total);
    }

    constexpr int unacknowledged = 100'000;
    Main2ViewController history;
    history.view();
    for (int id = 1; id <= unacknowledged; ++id)
        history.addLocation(report(base, id));
    int acknowledged = 0;
    NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("LocationOK"), [&](const Notification &) { ++acknowledged; });
    QElapsedTimer clock;
    clock.start();
    history.sendMissing();
    const double startMs = double(clock.nsecsElapsed()) / 1e6;
    while (acknowledged < unacknowledged && clock.elapsed() < 600'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double allMs = double(clock.nsecsElapsed()) / 1e6;
    std::printf("resend pass over %d unacknowledged entries: %.0f ms to start every request, "
                "%.0f ms until %d were acknowledged (%.0f per second)\n",
                unacknowledged, startMs, allMs, acknowledged, acknowledged / (allMs / 1000.0));
    return acknowledged == unacknowledged ? 0 : 1;
}
