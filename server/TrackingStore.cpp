// TrackingStore: the SQLite or PostgreSQL database behind the server.
#include "TrackingStore.h"

#include "AccountNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUrl>

#include <limits>

namespace {

constexpr int schemaVersion = 1;

// Any number that no other program on the same PostgreSQL database is likely to lock.
constexpr qint64 schemaLockKey = 0x5065726567726978; // "Peregrix"

// %1 is the key column of reports and %2 the type of coordinates, the only types the two
// databases spell differently. IF NOT EXISTS lets several servers start on one PostgreSQL
// database at once; SQLite never sees it run on existing tables (user_version guards it).
const char *const schema[] = {
    "CREATE TABLE IF NOT EXISTS users ("
    " name TEXT NOT NULL,"
    " folded TEXT NOT NULL PRIMARY KEY,"
    " device TEXT UNIQUE,"
    " added_by_operator INTEGER NOT NULL DEFAULT 0,"
    " created TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS devices ("
    " device TEXT NOT NULL PRIMARY KEY,"
    " stopped INTEGER NOT NULL DEFAULT 0,"
    " stop_message TEXT NOT NULL DEFAULT '',"
    " first_seen TEXT NOT NULL)",
    // The unique constraint is what keeps a late resend from being stored twice.
    "CREATE TABLE IF NOT EXISTS reports ("
    " id %1,"
    " device TEXT NOT NULL,"
    " user_name TEXT NOT NULL,"
    " latitude %2 NOT NULL,"
    " longitude %2 NOT NULL,"
    " device_time TEXT NOT NULL,"
    " version TEXT NOT NULL,"
    " accuracy INTEGER NOT NULL,"
    " speed TEXT NOT NULL,"
    " report_id BIGINT NOT NULL,"
    " late INTEGER NOT NULL,"
    " received TEXT NOT NULL,"
    " UNIQUE (device, device_time, report_id))",
};

QString utcNow()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QString textOrNull(const QSqlQuery &q, int column)
{
    return q.isNull(column) ? QString() : q.value(column).toString();
}

TrackingStore::TrackPoint trackPoint(const QSqlQuery &q, int first)
{
    TrackingStore::TrackPoint p;
    p.latitude = q.value(first).toDouble();
    p.longitude = q.value(first + 1).toDouble();
    p.when = q.value(first + 2).toString();
    p.accuracy = q.value(first + 3).toInt();
    p.speed = q.value(first + 4).toString();
    p.id = q.value(first + 5).toLongLong();
    p.late = q.value(first + 6).toBool();
    p.received = q.value(first + 7).toString();
    return p;
}

} // namespace

bool TrackingStore::isPostgresUrl(const QString &database)
{
    return database.startsWith(QLatin1String("postgresql://"));
}

TrackingStore::TrackingStore(const QString &connectionName)
    : m_connection(connectionName)
{ }

TrackingStore::~TrackingStore()
{
    m_statements.clear();
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

void TrackingStore::open(const QString &path)
{
    m_database = path;
    if (isPostgresUrl(path)) {
        openPostgres(path);
        return;
    }
    const QFileInfo file(path);
    if (!QDir().mkpath(file.absolutePath()))
        throw Error("cannot create the folder " + file.absolutePath().toStdString());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(file.absoluteFilePath());
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        throw Error(
            "cannot open " + path.toStdString() + ": " + db.lastError().text().toStdString());
    QSqlQuery &mode = run(QStringLiteral("PRAGMA journal_mode = WAL"), {});
    const QString journal = mode.next() ? mode.value(0).toString() : QString();
    mode.finish();
    if (journal.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        throw Error("the database cannot be put in WAL mode (" + journal.toStdString() + ")");
    run(QStringLiteral("PRAGMA synchronous = FULL"), {}).finish();
    createSchema();
}

// postgresql://[USER@]HOST[:PORT]/DBNAME; the password, if any, comes from ~/.pgpass or
// PGPASSWORD as with every libpq client, so it never shows in the process list.
void TrackingStore::openPostgres(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString name = parsed.path().mid(1);
    if (!parsed.isValid() || parsed.host().isEmpty() || name.isEmpty() || name.contains('/'))
        throw Error("not a PostgreSQL address of the form postgresql://USER@HOST:PORT/DBNAME: "
            + url.toStdString());
    m_postgres = true;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
    if (!db.isValid())
        throw Error("the PostgreSQL driver of QtSql (QPSQL) is not installed");
    db.setHostName(parsed.host());
    db.setPort(parsed.port(5432));
    db.setDatabaseName(name);
    if (!parsed.userName().isEmpty())
        db.setUserName(parsed.userName());
    db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    if (!db.open())
        throw Error(
            "cannot open " + url.toStdString() + ": " + db.lastError().text().toStdString());
    configurePostgresSession();
    createSchema();
}

void TrackingStore::configurePostgresSession()
{
    // Commits wait for the disk, as with SQLite's full synchronisation, whatever the
    // cluster's default.
    run(QStringLiteral("SET synchronous_commit = on"), {}).finish();
    // "relation already exists, skipping" on every start is no news.
    run(QStringLiteral("SET client_min_messages = warning"), {}).finish();
}

// A PostgreSQL server that was restarted, or a connection cut on the way, leaves the
// connection dead, and every statement on it fails. A cheap statement tells that apart from
// a failure of the statement itself; a dead connection is opened again (and again on the
// next request, while the database stays away).
bool TrackingStore::reconnectIfLost()
{
    if (!m_postgres)
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (db.isOpen()) {
        QSqlQuery probe(db);
        if (probe.exec(QStringLiteral("SELECT 1")))
            return false;
    }
    qWarning("peregrix-server: the connection to PostgreSQL was lost; connecting again");
    m_statements.clear(); // prepared on the old connection
    db.close();
    if (!db.open())
        throw Error("cannot connect to PostgreSQL again: " + db.lastError().text().toStdString());
    configurePostgresSession();
    return true;
}

void TrackingStore::createTables()
{
    const QString key = m_postgres
        ? QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
        : QStringLiteral("INTEGER PRIMARY KEY");
    const QString coordinate
        = m_postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    for (const char *statement : schema)
        run(QString::fromLatin1(statement)
                .replace(QLatin1String("%1"), key)
                .replace(QLatin1String("%2"), coordinate),
            {});
}

void TrackingStore::createSchema()
{
    if (m_postgres) {
        // The transaction-scoped lock makes a second server starting at the same moment wait
        // instead of failing on the catalogue's own unique index.
        inTransaction([this] {
            run(QStringLiteral("SELECT pg_advisory_xact_lock(?)"), { schemaLockKey }).finish();
            createTables();
        });
        m_statements.clear();
        return;
    }

    QSqlQuery &version = run(QStringLiteral("PRAGMA user_version"), {});
    const int found = version.next() ? version.value(0).toInt() : -1;
    version.finish();
    if (found == schemaVersion)
        return;
    if (found != 0)
        throw Error("the database has schema version " + std::to_string(found)
            + ", this server knows version " + std::to_string(schemaVersion));
    inTransaction([this] {
        createTables();
        run(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion), {});
    });
    m_statements.clear(); // statements prepared against the empty schema are stale
}

QSqlQuery &TrackingStore::prepared(const QString &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            fail(QStringLiteral("prepare"), &query);
        it = m_statements.insert(sql, query);
    }
    return *it;
}

QSqlQuery &TrackingStore::run(const QString &sql, const QVariantList &values)
{
    // PostgreSQL prepares only queries and data changes, not BEGIN, SET or CREATE; without
    // values there is nothing to bind anyway.
    if (m_postgres && values.isEmpty()) {
        auto it = m_statements.find(sql);
        if (it == m_statements.end()) {
            QSqlQuery query(QSqlDatabase::database(m_connection, false));
            query.setForwardOnly(true);
            it = m_statements.insert(sql, query);
        }
        if (!it->exec(sql))
            fail(QStringLiteral("run"), &*it);
        return *it;
    }
    QSqlQuery &query = prepared(sql);
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec())
        fail(QStringLiteral("run"), &query);
    return query;
}

// A query left unfinished would hold its read transaction open and keep the log from being
// checkpointed, so every read runs to its end here. A read that fails on a lost connection
// before its first row is made again on a new one; rows already handed over cannot be taken
// back, so a read cut half-way is a failure.
void TrackingStore::forEachRow(const QString &sql, const QVariantList &values,
    const std::function<void(const QSqlQuery &)> &row)
{
    bool started = false;
    const auto read = [&] {
        QSqlQuery &query = run(sql, values);
        while (query.next()) {
            started = true;
            row(query);
        }
        // PostgreSQL hands the rows over one at a time, so a connection lost half-way ends
        // the loop early: that is a failure, not a short answer.
        const bool cut = query.lastError().isValid();
        query.finish();
        if (cut)
            fail(QStringLiteral("read"), &query);
    };
    try {
        read();
    } catch (const Error &) {
        // Inside a transaction, the whole transaction is done again instead.
        if (started || m_inTransaction || !reconnectIfLost())
            throw;
        read();
    }
}

// A transaction cut off by a lost connection is done once more on a new one. Every
// transaction here can be repeated: one that was rolled back with the connection simply runs
// again, and one whose commit went through before the connection went finds its rows there
// (a report is then "already stored" and acknowledged all the same).
void TrackingStore::inTransaction(const std::function<void()> &work)
{
    try {
        transaction(work);
    } catch (const Error &) {
        if (!reconnectIfLost())
            throw;
        transaction(work);
    }
}

void TrackingStore::transaction(const std::function<void()> &work)
{
    // IMMEDIATE takes the write lock at once, so a transaction never fails half-way because
    // the operator's command wrote in between.
    // PostgreSQL's row locks and ON CONFLICT do that job there.
    run(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"), {});
    try {
        m_inTransaction = true;
        work();
        m_inTransaction = false;
        run(QStringLiteral("COMMIT"), {});
    } catch (...) {
        m_inTransaction = false;
        QSqlQuery rollback(QSqlDatabase::database(m_connection, false));
        if (rollback.prepare(QStringLiteral("ROLLBACK")))
            (void)rollback.exec();
        throw;
    }
}

void TrackingStore::fail(const QString &what, const QSqlQuery *query) const
{
    const QSqlError error
        = query ? query->lastError() : QSqlDatabase::database(m_connection, false).lastError();
    const QString statement = query ? query->lastQuery() : QString();
    throw Error(
        QStringLiteral("%1 failed: %2 [%3]").arg(what, error.text(), statement).toStdString());
}

TrackingStore::Account TrackingStore::account(const QString &device)
{
    Account a;
    forEachRow(QStringLiteral("SELECT (SELECT name FROM users WHERE device = ?),"
                              " stopped, stop_message FROM (SELECT 1) AS one"
                              " LEFT JOIN devices ON devices.device = ?"),
        { device, device }, [&a](const QSqlQuery &q) {
            a.name = textOrNull(q, 0);
            a.stopped = q.value(1).toBool();
            a.stopMessage = q.value(2).toString();
        });
    return a;
}

std::optional<TrackingStore::NameEntry> TrackingStore::findName(const QString &name)
{
    std::optional<NameEntry> entry;
    forEachRow(QStringLiteral("SELECT name, device, added_by_operator, created FROM users"
                              " WHERE folded = ?"),
        { AccountNames::folded(name) }, [&entry](const QSqlQuery &q) {
            entry = NameEntry { q.value(0).toString(), textOrNull(q, 1), q.value(2).toBool(),
                q.value(3).toString() };
        });
    return entry;
}

void TrackingStore::registerName(const QString &device, const QString &name)
{
    const QString folded = AccountNames::folded(name);
    inTransaction([&] {
        const QString now = utcNow();
        run(QStringLiteral("INSERT INTO devices (device, first_seen) VALUES (?, ?)"
                           " ON CONFLICT (device) DO NOTHING"),
            { device, now });
        run(QStringLiteral("UPDATE users SET device = NULL WHERE device = ? AND folded <> ?"),
            { device, folded });
        QSqlQuery &claim = run(
            QStringLiteral("INSERT INTO users (name, folded, device, created) VALUES (?, ?, ?, ?)"
                           " ON CONFLICT (folded) DO UPDATE SET device = excluded.device"
                           " WHERE users.device IS NULL OR users.device = excluded.device"),
            { name, folded, device, now });
        if (claim.numRowsAffected() != 1)
            throw Error("the name " + name.toStdString() + " belongs to another device");
    });
}

bool TrackingStore::addName(const QString &name)
{
    bool added = false;
    inTransaction([&] {
        QSqlQuery &insert = run(
            QStringLiteral("INSERT INTO users (name, folded, device, added_by_operator, created)"
                           " VALUES (?, ?, NULL, 1, ?) ON CONFLICT (folded) DO NOTHING"),
            { name, AccountNames::folded(name), utcNow() });
        added = insert.numRowsAffected() == 1;
    });
    return added;
}

bool TrackingStore::setStopped(const QString &device, bool stopped, const QString &message)
{
    bool known = false;
    inTransaction([&] {
        QSqlQuery &update = run(
            QStringLiteral("UPDATE devices SET stopped = ?, stop_message = ? WHERE device = ?"),
            { stopped ? 1 : 0, stopped ? message : QStringLiteral(""), device });
        known = update.numRowsAffected() == 1;
    });
    return known;
}

QList<TrackingStore::ReportOutcome> TrackingStore::storeReports(
    const QList<ReceivedReport> &reports, const QDateTime &received, const Admission &admission)
{
    QList<ReportOutcome> outcomes;
    const QString receivedText = received.toUTC().toString(Qt::ISODateWithMs);
    inTransaction([&] {
        outcomes = QList<ReportOutcome>(reports.size()); // a transaction done again starts afresh
        QHash<QString, Account> accounts;
        QList<qsizetype> admitted;
        for (qsizetype i = 0; i < reports.size(); ++i) {
            const QString &device = reports[i].device;
            auto known = accounts.find(device);
            if (known == accounts.end())
                known = accounts.insert(device, account(device));
            outcomes[i].refusal = admission(reports[i], *known);
            if (outcomes[i].refusal.isEmpty())
                admitted.append(i);
            else
                outcomes[i].outcome = Outcome::Refused;
        }
        QSet<QString> devices;
        for (const qsizetype i : std::as_const(admitted)) {
            if (devices.contains(reports[i].device))
                continue;
            devices.insert(reports[i].device);
            run(QStringLiteral("INSERT INTO devices (device, first_seen) VALUES (?, ?)"
                               " ON CONFLICT (device) DO NOTHING"),
                { reports[i].device, receivedText });
        }
        insertReports(reports, admitted, receivedText, outcomes);
    });
    return outcomes;
}

// One statement for many rows: on PostgreSQL each statement is a round trip. The rows it
// returns are the ones it stored; the others were there already.
void TrackingStore::insertReports(const QList<ReceivedReport> &reports,
    const QList<qsizetype> &chosen, const QString &received, QList<ReportOutcome> &outcomes)
{
    constexpr qsizetype rowsAtOnce = 64;
    const auto key = [](const QString &device, const QString &when, qint64 id) {
        return device + QLatin1Char('\n') + when + QLatin1Char('\n') + QString::number(id);
    };
    for (qsizetype first = 0; first < chosen.size(); first += rowsAtOnce) {
        const QList<qsizetype> rows = chosen.mid(first, rowsAtOnce);
        QStringList placeholders;
        QVariantList values;
        for (const qsizetype i : rows) {
            const ReceivedReport &r = reports[i];
            placeholders.append(QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            values << r.device << r.user << r.latitude << r.longitude << r.when << r.version
                   << r.accuracy << r.speed << r.id << (r.late ? 1 : 0) << received;
        }
        QSet<QString> stored;
        forEachRow(
            QStringLiteral("INSERT INTO reports (device, user_name, latitude, longitude,"
                           " device_time, version, accuracy, speed, report_id, late, received)"
                           " VALUES %1 ON CONFLICT (device, device_time, report_id) DO NOTHING"
                           " RETURNING device, device_time, report_id")
                .arg(placeholders.join(QLatin1String(", "))),
            values, [&](const QSqlQuery &q) {
                stored.insert(
                    key(q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong()));
            });
        // The same report twice in one batch is stored once, for the first.
        for (const qsizetype i : rows) {
            if (stored.remove(key(reports[i].device, reports[i].when, reports[i].id)))
                outcomes[i].outcome = Outcome::Stored;
        }
    }
}

TrackingStore::Summary TrackingStore::summary(const QString &device)
{
    Summary s;
    forEachRow(QStringLiteral("SELECT COUNT(*), COALESCE(SUM(late), 0), MIN(device_time),"
                              " MAX(device_time) FROM reports WHERE device = ?"),
        { device }, [&s](const QSqlQuery &q) {
            s.reports = q.value(0).toLongLong();
            s.lateReports = q.value(1).toLongLong();
            s.firstWhen = textOrNull(q, 2);
            s.lastWhen = textOrNull(q, 3);
        });
    return s;
}

QList<TrackingStore::DeviceEntry> TrackingStore::devices()
{
    QList<DeviceEntry> result;
    // A device without a name of its own, reporting under the shared test name, goes by the
    // name of its latest report.
    forEachRow(
        QStringLiteral(
            "SELECT d.device, COALESCE(u.name, r.user_name), d.stopped, d.stop_message,"
            " (SELECT COUNT(*) FROM reports c WHERE c.device = d.device),"
            " r.latitude, r.longitude, r.device_time, r.accuracy, r.speed, r.report_id, r.late,"
            " r.received"
            " FROM devices d LEFT JOIN users u ON u.device = d.device"
            " LEFT JOIN reports r ON r.id = (SELECT l.id FROM reports l WHERE l.device = d.device"
            " ORDER BY l.device_time DESC, l.report_id DESC LIMIT 1)"
            " ORDER BY d.device"),
        {}, [&result](const QSqlQuery &q) {
            DeviceEntry e { q.value(0).toString(), textOrNull(q, 1), q.value(2).toBool(),
                q.value(3).toString(), q.value(4).toLongLong(), std::nullopt };
            if (!q.isNull(5))
                e.last = trackPoint(q, 5);
            result.append(e);
        });
    return result;
}

QList<TrackingStore::NameEntry> TrackingStore::names()
{
    QList<NameEntry> result;
    forEachRow(QStringLiteral("SELECT name, device, added_by_operator, created FROM users"
                              " ORDER BY folded"),
        {}, [&result](const QSqlQuery &q) {
            result.append({ q.value(0).toString(), textOrNull(q, 1), q.value(2).toBool(),
                q.value(3).toString() });
        });
    return result;
}

QList<TrackingStore::TrackPoint> TrackingStore::track(const QString &device, qint64 limit)
{
    QList<TrackPoint> newestFirst;
    forEachRow(QStringLiteral("SELECT latitude, longitude, device_time, accuracy, speed,"
                              " report_id, late, received FROM reports WHERE device = ?"
                              " ORDER BY device_time DESC, report_id DESC LIMIT ?"),
        { device, limit < 0 ? std::numeric_limits<qint64>::max() : limit },
        [&newestFirst](const QSqlQuery &q) { newestFirst.append(trackPoint(q, 0)); });
    return QList<TrackPoint>(newestFirst.crbegin(), newestFirst.crend());
}
