// The server's track downloads against a track of 1,000,000 reports: the server's resident
// memory while it streams the GeoJSON and the GPX, against its memory when idle, and the time a
// download takes. Prints its figures; it is not a test and never fails on them.
#include "FigureRow.h"
#include "ServerProcess.h"

#include "TrackingStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int reportCount = 1'000'000;
constexpr int reportsPerTransaction = 10'000;

bool fill(const QString &database)
{
    TrackingStore store(QStringLiteral("bench-fill"));
    store.open(database);
    if (!store.registerName(QStringLiteral("bench-device"), QStringLiteral("Bench")))
        return false;
    const auto admitAll
        = [](const ReceivedReport &, const TrackingStore::Account &) { return QByteArray(); };
    const QDateTime start(QDate(2026, 3, 6), QTime(0, 0));
    for (int first = 0; first < reportCount; first += reportsPerTransaction) {
        QList<ReceivedReport> reports;
        for (int i = first; i < first + reportsPerTransaction; ++i) {
            ReceivedReport r;
            r.user = QStringLiteral("Bench");
            r.device = QStringLiteral("bench-device");
            r.latitude = 51.5 + (i % 1000) * 1e-5;
            r.longitude = -0.1 - (i / 1000) * 1e-5;
            r.when = start.addSecs(i).toString(QStringLiteral("yyyyMMddHHmmss"));
            r.version = QStringLiteral("v2.5");
            r.accuracy = 5;
            r.speed = QStringLiteral("12 MPH");
            r.id = i;
            r.idText = QString::number(i);
            reports.append(r);
        }
        store.storeReports(reports, QDateTime::currentDateTimeUtc(), admitAll);
    }
    return true;
}

struct Download
{
    qint64 bytes = 0;
    qint64 peakKiB = 0;
    double seconds = 0;
    bool complete = false;
};

// Reads the download as it arrives and throws it away, sampling the server's memory meanwhile.
Download download(QNetworkAccessManager &network, const QString &url, const ServerProcess &server)
{
    Download result;
    QElapsedTimer clock;
    clock.start();
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    QObject::connect(reply, &QNetworkReply::readyRead, reply,
        [&result, reply] { result.bytes += reply->readAll().size(); });
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &sampler,
        [&] { result.peakKiB = std::max(result.peakKiB, server.memoryKiB("VmRSS")); });
    sampler.start(20);
    while (!reply->isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    result.bytes += reply->readAll().size();
    result.seconds = clock.elapsed() / 1000.0;
    result.complete = reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("bench.sqlite"));
    QElapsedTimer clock;
    clock.start();
    try {
        if (!fill(database))
            return 1;
    } catch (const TrackingStore::Error &error) {
        std::fprintf(stderr, "bench_download: %s\n", error.what());
        return 1;
    }
    std::printf("bench_download: %d reports of one device stored in %.1f s\n", reportCount,
        clock.elapsed() / 1000.0);

    ServerProcess server(QStringLiteral(PEREGRIX_SERVER), database);
    if (!server.start()) {
        std::fprintf(stderr, "bench_download: %s\n", qPrintable(server.output()));
        return 1;
    }
    QString alias;
    {
        TrackingStore store(QStringLiteral("bench-alias"));
        store.open(database);
        alias = store.aliasOf(QStringLiteral("bench-device"));
    }
    QNetworkAccessManager network;
    QCoreApplication::processEvents();
    const qint64 idleKiB = server.memoryKiB("VmRSS");
    for (const char *format : { "geojson", "gpx" }) {
        const Download d = download(network,
            server.pageUrl() + QStringLiteral("track.%1?a=%2").arg(QLatin1String(format), alias),
            server);
        if (!d.complete || d.bytes == 0) {
            std::fprintf(stderr, "bench_download: the %s download failed\n", format);
            return 1;
        }
        std::printf("bench_download: %s, %.0f MB in %.1f s\n", format, d.bytes / 1e6, d.seconds);
        printFigureRow(
            QStringLiteral("server: peak resident memory downloading 1,000,000 reports as %1")
                .arg(QLatin1String(format == QByteArray("gpx") ? "GPX" : "GeoJSON")),
            QStringLiteral("%1 MB (%2 MB in %3 s)")
                .arg(d.peakKiB / 1024.0, 0, 'f', 1)
                .arg(d.bytes / 1e6, 0, 'f', 0)
                .arg(d.seconds, 0, 'f', 1),
            QStringLiteral("%1 MB idle").arg(idleKiB / 1024.0, 0, 'f', 1),
            double(d.peakKiB) / double(idleKiB));
    }
    server.terminate();
    return 0;
}
