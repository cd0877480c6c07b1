// Benchmark of start-up: the time from starting the process to the first painted frame of the
// main side, beside the same for a minimal Qt Widgets window, both run here as child processes
// on the offscreen platform. Prints its figures; it is not a test.
//   bench_startup [RUNS]
#include "shell/AppDelegate.h"
#include "shell/RootViewController.h"
#include "shell/StackedMainViewController.h"
#include "tracking/MainViewController.h"

#include "platform/LocationManager.h"

#include "ChildRun.h"
#include "FigureRow.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

double monotonicMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Prints the moment the watched widget is first painted, then ends the process.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            std::printf("%.3f\n", monotonicMs());
            std::fflush(stdout);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            watched->removeEventFilter(this);
        }
        return false;
    }
};

int child(int argc, char **argv, bool minimal)
{
    QApplication app(argc, argv);
    FirstPaint watcher;
    if (minimal) {
        QLabel label(QStringLiteral("Hello"));
        label.resize(320, 480);
        label.installEventFilter(&watcher);
        label.show();
        return QApplication::exec();
    }
    LocationManager::setSourceOption(QStringLiteral("nmea:" PEREGRIX_DEMO_TRACK));
    AppDelegate delegate;
    delegate.rootViewController()->view();
    StackedMainViewController::mainViewController()->view()->installEventFilter(&watcher);
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timeChild(const QString &mode, const QString &home)
{
    QProcess process;
    process.setProcessEnvironment(childEnvironment(home));
    const double started = monotonicMs();
    process.start(QCoreApplication::applicationFilePath(), { mode });
    process.waitForFinished(30000);
    bool ok = false;
    const double painted = process.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? painted - started : -1.0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && (qstrcmp(argv[1], "--app") == 0 || qstrcmp(argv[1], "--minimal") == 0))
        return child(argc, argv, qstrcmp(argv[1], "--minimal") == 0);
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    QTemporaryDir home;
    std::vector<double> peregrix, minimal;
    for (int i = 0; i < runs; ++i) {
        peregrix.push_back(timeChild(QStringLiteral("--app"), home.path()));
        minimal.push_back(timeChild(QStringLiteral("--minimal"), home.path()));
    }
    const double a = median(peregrix), m = median(minimal);
    printFigureRow(
        QStringLiteral("start-up to the first painted frame (median of %1, offscreen)").arg(runs),
        QStringLiteral("%1 ms").arg(a, 0, 'f', 1),
        QStringLiteral("%1 ms, a minimal Qt Widgets window").arg(m, 0, 'f', 1),
        m > 0 ? a / m : 0.0);
    return a > 0 && m > 0 ? 0 : 1;
}
