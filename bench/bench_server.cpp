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

bool validateAll(QNetworkAccessManager &network, const QString &base)
{
    for (int device = 1; device <= threads; ++device) {
        if (!validate(network, base, device))
            return false;
    }
    return true;
}

// The reports on SQLite, then their late resends, with /ping before and after, all at the
// given connections, on a server and database of their own.
struct SqliteRuns
{
    WrkRun reports, resends, ping;
    Stored stored;
    qint64 newFromResends = 0;
};

std::optional<SqliteRuns> onSqlite(
    const QString &folder, const QString &scriptFile, int connections)
{
    const QString database = folder + QStringLiteral("/bench%1.sqlite").arg(connections);
    ServerProcess server(QStringLiteral(PEREGRIX_SERVER), database);
    QNetworkAccessManager network;
    if (!server.start() || !validateAll(network, server.baseUrl())) {
        std::fprintf(stderr, "bench_server: %s\n", qPrintable(server.output()));
        return std::nullopt;
    }
    // /ping runs first and last, and the faster run counts: this machine's speed varies by
    // more than the figures do, and the slower reference would flatter the ratios.
    const QString pingUrl = server.baseUrl() + QStringLiteral("ping");
    SqliteRuns runs;
    runs.ping = WrkLoad::run(pingUrl, QString(), {}, connections);
    runs.reports = WrkLoad::run(server.baseUrl(), scriptFile, {}, connections);
    runs.stored = storedReports(database);
    runs.resends = WrkLoad::run(server.baseUrl(), scriptFile,
        { "late", QString::number(runs.stored.fewestOfADevice) }, connections);
    runs.newFromResends = storedReports(database).total - runs.stored.total;
    const WrkRun lastPing = WrkLoad::run(pingUrl, QString(), {}, connections);
    if (lastPing.requestsPerSecond > runs.ping.requestsPerSecond)
        runs.ping = lastPing;
    server.terminate();
    std::printf("SQLite, %d connections: %lld stored of %lld answered %s; late duplicates: %lld "
                "new (ids the first run skipped) %s; /ping %s\n",
        connections, runs.stored.total, runs.reports.requests, qPrintable(runs.reports.errors),
        runs.newFromResends, qPrintable(runs.resends.errors), qPrintable(runs.ping.errors));
    return runs;
}

// The same report run on the private PostgreSQL cluster (its data on the same file system,
// fsync on, synchronous commit), in a database of its own.
std::optional<Stored> onPostgres(
    PostgresCluster &postgres, const QString &scriptFile, int connections, WrkRun &reports)
{
    const QString database = postgres.createDatabase(QStringLiteral("bench%1").arg(connections));
    ServerProcess server(QStringLiteral(PEREGRIX_SERVER), database);
    QNetworkAccessManager network;
    if (database.isEmpty() || !server.start() || !validateAll(network, server.baseUrl())) {
        std::fprintf(stderr, "bench_server: PostgreSQL: %s %s\n", qPrintable(postgres.error()),
            qPrintable(server.output()));
        return std::nullopt;
    }
    reports = WrkLoad::run(server.baseUrl(), scriptFile, {}, connections);
    const Stored stored = storedReports(database);
    server.terminate();
    std::printf("PostgreSQL, %d connections: %lld stored of %lld answered %s\n", connections,
        stored.total, reports.requests, qPrintable(reports.errors));
    return stored;
}

void printRows(int connections, const SqliteRuns &sqlite, const Stored &postgres,
    const WrkRun &postgresReports)
{
    const QString constant = QStringLiteral("%1 requests/s on /ping, %2 connections")
                                 .arg(sqlite.ping.requestsPerSecond, 0, 'f', 0)
                                 .arg(connections);
    const auto storedRow = [&](const QString &figure, const Stored &s, const WrkRun &run) {
        const double rate = s.total / run.seconds;
        printFigureRow(figure.arg(connections),
            QStringLiteral("%1 reports/s (p50 %2, p99 %3)")
                .arg(rate, 0, 'f', 0)
                .arg(run.p50, run.p99),
            constant, rate / sqlite.ping.requestsPerSecond);
    };
    storedRow(QStringLiteral("server: reports stored per second, SQLite with synchronous FULL "
                             "(wrk, %1 connections)"),
        sqlite.stored, sqlite.reports);
    storedRow(QStringLiteral("server: reports stored per second, PostgreSQL 15 with "
                             "synchronous_commit on (wrk, %1 connections)"),
        postgres, postgresReports);
    printFigureRow(
        QStringLiteral("server: late duplicates acknowledged per second, SQLite (wrk, %1 "
                       "connections)")
            .arg(connections),
        QStringLiteral("%1 requests/s").arg(sqlite.resends.requestsPerSecond, 0, 'f', 0), constant,
        sqlite.resends.requestsPerSecond / sqlite.ping.requestsPerSecond);
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
    const QString scriptFile = dir.filePath(QStringLiteral("reports.lua"));
    PostgresCluster postgres;
    if (!WrkLoad::writeReportScript(scriptFile))
        return 1;
    if (!postgres.start()) {
        std::fprintf(stderr, "bench_server: PostgreSQL: %s\n", qPrintable(postgres.error()));
        return 1;
    }
    std::printf("peregrix-server under wrk on 127.0.0.1: %d threads (one device each), %d s a "
                "run; database on %s\n",
        threads, seconds, QStorageInfo(dir.path()).fileSystemType().constData());
    // A few connections leave a commit little to gather; many show what group commit gains.
    for (const int connections : { WrkLoad::connections, WrkLoad::manyConnections }) {
        const std::optional<SqliteRuns> sqlite = onSqlite(dir.path(), scriptFile, connections);
        WrkRun postgresReports;
        const std::optional<Stored> postgresStored
            = onPostgres(postgres, scriptFile, connections, postgresReports);
        if (!sqlite || !postgresStored)
            return 1;
        printRows(connections, *sqlite, *postgresStored, postgresReports);
    }
    return 0;
}
