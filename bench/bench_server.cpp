// Load run of peregrix-server on 127.0.0.1 with wrk: position reports stored per second, late
// resends of reports already stored, the same reports on PostgreSQL, and the server's constant
// reply (/ping) for comparison.
// Prints its figures; it is not a test and never fails on speed.
#include "FigureRow.h"
#include "PostgresCluster.h"
#include "ServerProcess.h"

#include "TrackingStore.h"
#include "WrkLoad.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

using WrkLoad::connections;
using WrkLoad::seconds;
using WrkLoad::threads;
using WrkRun = WrkLoad::Run;

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
    if (!WrkLoad::writeReportScript(scriptFile))
        return 1;

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
    const WrkRun reports = WrkLoad::run(reportsUrl, scriptFile, {});
    const Stored stored = storedReports(database);
    const WrkRun resends
        = WrkLoad::run(reportsUrl, scriptFile, { "late", QString::number(stored.fewestOfADevice) });
    const Stored after = storedReports(database);
    const WrkRun ping = WrkLoad::run(server.baseUrl() + QStringLiteral("ping"), QString(), {});
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
    const WrkRun postgresReports = WrkLoad::run(onPostgres.baseUrl(), scriptFile, {});
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
