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

// Prints the moment the frame in which the watched widget is first painted is done, then ends
// the process. The frame is done at the first event after its paint events, and one is posted
// so that there is one: the paint event only starts the frame, and the first text drawn loads
// the fonts, which takes longer than a minimal window's whole start-up.
class FirstFrame : public QObject
{
public:
    explicit FirstFrame(QWidget *watched)
        : m_watched(watched)
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (!m_painted) {
            m_painted = object == m_watched && event->type() == QEvent::Paint;
            if (m_painted)
                QMetaObject::invokeMethod(
                    this, [] {}, Qt::QueuedConnection);
        } else if (event->type() != QEvent::Paint) {
            std::printf("%.3f\n", monotonicMs());
            std::fflush(stdout);
            qApp->removeEventFilter(this);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget *m_watched;
    bool m_painted = false;
};

int child(int argc, char **argv, bool minimal)
{
    QApplication app(argc, argv);
    if (minimal) {
        QLabel label(QStringLiteral("Hello"));
        label.resize(320, 480);
        FirstFrame watcher(&label);
        label.show();
        return QApplication::exec();
    }
    LocationManager::setSourceOption(QStringLiteral("nmea:" PEREGRIX_DEMO_TRACK));
    AppDelegate delegate;
    delegate.rootViewController()->view();
    FirstFrame watcher(StackedMainViewController::mainViewController()->view());
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}

double fastest(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
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
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 21;
    QTemporaryDir home;
    std::vector<double> peregrix, minimal;
    for (int i = 0; i < runs; ++i) {
        peregrix.push_back(timeChild(QStringLiteral("--app"), home.path()));
        minimal.push_back(timeChild(QStringLiteral("--minimal"), home.path()));
    }
    const auto failed = [](const std::vector<double> &times) {
        return std::any_of(times.begin(), times.end(), [](double t) { return t < 0; });
    };
    if (failed(peregrix) || failed(minimal)) {
        std::fprintf(stderr, "bench_startup: a child did not paint\n");
        return 1;
    }
    // Start-up times here come in two clusters some 15 ms apart, whichever window is started;
    // the fastest runs of each compare the work done, the medians are shown beside them.
    const double a = fastest(peregrix), m = fastest(minimal);
    std::printf("start-up medians: ours %.1f ms, the minimal window %.1f ms\n", median(peregrix),
        median(minimal));
    printFigureRow(
        QStringLiteral("start-up to the first painted frame (fastest of %1, offscreen)").arg(runs),
        QStringLiteral("%1 ms").arg(a, 0, 'f', 1),
        QStringLiteral("%1 ms, a minimal Qt Widgets window").arg(m, 0, 'f', 1), a / m);
    return 0;
}
