// Benchmark of the cost of running: CPU time per hour of the application with positions every
// second and a report every 15 seconds, beside an empty Qt application with a one-second timer,
// both run here as child processes on the offscreen platform. Prints its figures.
//   bench_tracking_cost [SECONDS]
#include "ScriptedHttpServer.h"

#include "shell/AppDelegate.h"

#include "shared/GlobalFunctions.h"
#include "shared/PreferenceKeys.h"

#include "platform/LocationManager.h"
#include "platform/UserDefaults.h"

#include "ChildRun.h"
#include "FigureRow.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSecondsOfThisProcess()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs for the given seconds, then prints the CPU seconds it used after start-up. The
// application reports to the server at serverUrl.
int child(int argc, char **argv, bool empty, int seconds, const QString &serverUrl)
{
    QApplication app(argc, argv);
    std::unique_ptr<AppDelegate> delegate;
    QTimer tick;
    if (empty) {
        QObject::connect(&tick, &QTimer::timeout, [] {});
        tick.start(1000);
    } else {
        UserDefaults &prefs = UserDefaults::standardUserDefaults();
        prefs.setBool(true, PreferenceKeys::validated);
        prefs.setBool(true, PreferenceKeys::sendauto);
        prefs.setString(QStringLiteral("Test"), PreferenceKeys::user);
        prefs.setInteger(0, PreferenceKeys::frequency); // every 15 seconds
        GlobalData::sharedGlobalData()->setUrl(serverUrl);
        LocationManager::setSourceOption(QStringLiteral("nmea:" PEREGRIX_DEMO_TRACK));
        delegate = std::make_unique<AppDelegate>();
        delegate->applicationDidFinishLaunching();
    }
    double atStart = 0;
    QTimer::singleShot(2000, [&] { atStart = cpuSecondsOfThisProcess(); });
    QTimer::singleShot(2000 + seconds * 1000, [&] {
        std::printf("%.6f\n", cpuSecondsOfThisProcess() - atStart);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

// One child started with the given arguments. Both children run at the same time, so that both
// meet the same load on this machine.
struct ChildCost
{
    QProcess process;
    ChildCost(const QStringList &arguments, const QString &home)
    {
        process.setProcessEnvironment(childEnvironment(home));
        process.start(QCoreApplication::applicationFilePath(), arguments);
    }
    double perHour(int seconds)
    {
        process.waitForFinished((seconds + 30) * 1000);
        bool ok = false;
        const double cpu = process.readAllStandardOutput().trimmed().toDouble(&ok);
        return ok ? cpu * 3600.0 / seconds : -1.0;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc > 3 && (qstrcmp(argv[1], "--app") == 0 || qstrcmp(argv[1], "--empty") == 0)) {
        return child(argc, argv, qstrcmp(argv[1], "--empty") == 0, atoi(argv[2]),
            QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;
    QTemporaryDir home;
    // The server answers on a thread of this process, so that its work is not counted as ours.
    ScriptedHttpServer server;
    const QString time = QString::number(seconds);
    ChildCost ours({ QStringLiteral("--app"), time, server.baseUrl() }, home.path());
    ChildCost reference({ QStringLiteral("--empty"), time, server.baseUrl() }, home.path());
    const double peregrix = ours.perHour(seconds);
    const double empty = reference.perHour(seconds);
    printFigureRow(QStringLiteral("CPU time per hour while tracking: a position a second, a "
                                  "report every 15 s (over %1 s, offscreen)")
                       .arg(seconds),
        QStringLiteral("%1 s").arg(peregrix, 0, 'f', 1),
        QStringLiteral("%1 s, an empty Qt application with a 1 s timer").arg(empty, 0, 'f', 1),
        empty > 0 ? peregrix / empty : 0.0);
    return peregrix > 0 && empty > 0 ? 0 : 1;
}
