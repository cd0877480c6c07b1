// TrackingStore: the SQLite or PostgreSQL database behind the server.
#include "TrackingStore.h"

#include "AccountNames.h"
#include "PostgresProbe.h"
#include "SqliteStatements.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUrl>

#include <limits>

namespace {

// 1: users, devices and reports. 2: device aliases and their key, the devices' activity and
// report counts, names kept by the device whose reports carry them, names folded by
// compatibility form as well as by case.
constexpr int schemaVersion = 2;

// Any number that no other program on the same PostgreSQL database is likely to lock.
constexpr qint64 schemaLockKey = 0x5065726567726978; // "Peregrix"

// The serving thread's bounds (keepWaitsShort()). A read waits this long at most for a lock
// another connection holds, and a PostgreSQL server must answer a probe within it before a
// lost connection is opened again.
constexpr int servingLockWaitMs = 250;
// How long a statement may run on PostgreSQL, and how long sent data may go unacknowledged
// on the way there: a read is a few milliseconds, a count over a long track a few hundred.
constexpr int servingStatementLimitMs = 1000;
// After a probe that went unanswered, the requests of the next second fail at once.
constexpr int servingProbeIntervalMs = 1000;

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

// What version 2 adds to version 1's tables; %3 is IF NOT EXISTS where the database knows it
// for columns (PostgreSQL), so that servers starting together on one database may all run it.
const char *const upgrade[] = {
    "CREATE TABLE IF NOT EXISTS settings ("
    " name TEXT NOT NULL PRIMARY KEY,"
    " value TEXT NOT NULL)",
    "ALTER TABLE devices ADD COLUMN %3 alias TEXT",
    "ALTER TABLE devices ADD COLUMN %3 last_active TEXT",
    "ALTER TABLE devices ADD COLUMN %3 report_count BIGINT NOT NULL DEFAULT 0",
    "ALTER TABLE users ADD COLUMN %3 owner TEXT",
    "CREATE UNIQUE INDEX IF NOT EXISTS devices_by_alias ON devices (alias)",
    "CREATE INDEX IF NOT EXISTS devices_by_activity ON devices (last_active, device)",
};

const QString aliasKeySetting = QStringLiteral("alias-key");
const QString versionSetting = QStringLiteral("schema-version");

QString utcNow()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

// 256 bits from the system's generator: aliases must not be guessable from identifiers.
QByteArray newAliasKey()
{
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(
        reinterpret_cast<quint32 *>(key.data()), key.size() / sizeof(quint32));
    return key;
}

constexpr qsizetype rowsAtOnce = 64;

const QByteArray movedReport
    = "~A report with this time and id was stored before at another position";

// "(?), (?), (?)": the row given, count times.
QString placeholders(const QString &row, qsizetype count)
{
    QStringList rows;
    rows.fill(row, count);
    return rows.join(QLatin1String(", "));
}

QString reportKey(const QString &device, const QString &when, qint64 id)
{
    return device + QLatin1Char('\n') + when + QLatin1Char('\n') + QString::number(id);
}

// Thrown inside registerName()'s transaction to roll it back.
struct NameTaken
{
};

QString utcNowWithMs()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
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
    m_sqlite.reset();
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
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(defaultBusyTimeoutMs));
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
    m_sqlite = std::make_unique<SqliteStatements>(db);
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
    db.setConnectOptions(postgresConnectOptions());
    if (!db.open())
        throw Error(
            "cannot open " + url.toStdString() + ": " + db.lastError().text().toStdString());
    configurePostgresSession();
    createSchema();
}

// libpq waits at least 2 s for a connection; the probe in reconnectIfLost() keeps the serving
// thread from waiting that long for a server that does not answer.
QString TrackingStore::postgresConnectOptions() const
{
    return m_shortWaits
        ? QStringLiteral("connect_timeout=2;tcp_user_timeout=%1").arg(servingStatementLimitMs)
        : QStringLiteral("connect_timeout=10");
}

void TrackingStore::configurePostgresSession()
{
    // Commits wait for the disk, as with SQLite's full synchronisation, whatever the
    // cluster's default.
    run(QStringLiteral("SET synchronous_commit = on"), {}).finish();
    // "relation already exists, skipping" on every start is no news.
    run(QStringLiteral("SET client_min_messages = warning"), {}).finish();
    if (m_shortWaits) {
        run(QStringLiteral("SET lock_timeout = %1").arg(servingLockWaitMs), {}).finish();
        run(QStringLiteral("SET statement_timeout = %1").arg(servingStatementLimitMs), {}).finish();
    }
}

// A PostgreSQL server that was restarted, or a connection cut on the way, leaves the
// connection dead, and every statement on it fails. A cheap statement tells that apart from
// a failure of the statement itself; a dead connection is opened again (and again on the
// next request, while the database stays away). With short waits, only once the server has
// answered a probe in time.
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
    m_statements.clear(); // prepared on the old connection
    db.close();
    if (m_shortWaits && !postgresAnswers())
        throw Error("PostgreSQL does not answer");
    qWarning("peregrix-server: the connection to PostgreSQL was lost; connecting again");
    if (!db.open())
        throw Error("cannot connect to PostgreSQL again: " + db.lastError().text().toStdString());
    configurePostgresSession();
    return true;
}

bool TrackingStore::postgresAnswers()
{
    if (!m_nextProbe.hasExpired())
        return false;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (PostgresProbe::answers(
            db.hostName(), quint16(db.port()), QDeadlineTimer(servingLockWaitMs)))
        return true;
    m_nextProbe.setRemainingTime(servingProbeIntervalMs);
    return false;
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

void TrackingStore::upgradeTables()
{
    const QString ifNotExists = m_postgres ? QStringLiteral("IF NOT EXISTS") : QString();
    for (const char *statement : upgrade)
        run(QString::fromLatin1(statement).replace(QLatin1String("%3"), ifNotExists), {});
}

void TrackingStore::createSchema()
{
    if (m_postgres) {
        // The transaction-scoped lock makes a second server starting at the same moment wait
        // instead of failing on the catalogue's own unique index.
        inTransaction([this] {
            run(QStringLiteral("SELECT pg_advisory_xact_lock(?)"), { schemaLockKey }).finish();
            createTables();
            upgradeTables();
            migrateData();
        });
        m_statements.clear();
        return;
    }

    QSqlQuery &version = run(QStringLiteral("PRAGMA user_version"), {});
    const int found = version.next() ? version.value(0).toInt() : -1;
    version.finish();
    if (found == schemaVersion) {
        loadAliasKey();
        return;
    }
    if (found < 0 || found > schemaVersion)
        throw Error("the database has schema version " + std::to_string(found)
            + ", this server knows version " + std::to_string(schemaVersion));
    inTransaction([this, found] {
        if (found == 0)
            createTables();
        upgradeTables();
        migrateData();
        run(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion), {});
    });
    m_statements.clear(); // statements prepared against the old schema are stale
}

// Fills in what version 2 keeps and version 1 did not; done once, in the transaction that
// upgrades the tables.
void TrackingStore::migrateData()
{
    run(QStringLiteral("INSERT INTO settings (name, value) VALUES (?, ?)"
                       " ON CONFLICT (name) DO NOTHING"),
        { aliasKeySetting, QString::fromLatin1(newAliasKey().toHex()) });
    loadAliasKey();
    QString stored;
    forEachRow(QStringLiteral("SELECT value FROM settings WHERE name = ?"), { versionSetting },
        [&stored](const QSqlQuery &q) { stored = q.value(0).toString(); });
    if (stored.toInt() >= schemaVersion)
        return;
    giveAliases();
    run(QStringLiteral("UPDATE devices SET last_active = COALESCE((SELECT MAX(received)"
                       " FROM reports r WHERE r.device = devices.device), first_seen),"
                       " report_count = (SELECT COUNT(*) FROM reports r"
                       " WHERE r.device = devices.device) WHERE last_active IS NULL"),
        {});
    refoldNames();
    bindNamesToTheirReports();
    run(QStringLiteral("INSERT INTO settings (name, value) VALUES (?, ?)"
                       " ON CONFLICT (name) DO UPDATE SET value = excluded.value"),
        { versionSetting, QString::number(schemaVersion) });
}

void TrackingStore::loadAliasKey()
{
    forEachRow(QStringLiteral("SELECT value FROM settings WHERE name = ?"), { aliasKeySetting },
        [this](const QSqlQuery &q) { m_aliasKey = QByteArray::fromHex(q.value(0).toByteArray()); });
    if (m_aliasKey.size() < 32)
        throw Error("the database holds no usable key for device aliases");
}

void TrackingStore::giveAliases()
{
    QStringList unnamed;
    forEachRow(QStringLiteral("SELECT device FROM devices WHERE alias IS NULL"), {},
        [&unnamed](const QSqlQuery &q) { unnamed.append(q.value(0).toString()); });
    for (const QString &device : std::as_const(unnamed))
        run(QStringLiteral("UPDATE devices SET alias = ? WHERE device = ?"),
            { aliasOf(device), device });
}

// Names were folded by case alone. A name whose new form another name has already taken keeps
// its old one: the two stay the accounts they were, and no new name can join either.
void TrackingStore::refoldNames()
{
    QList<std::pair<QString, QString>> renamed; // old folded, new folded
    forEachRow(
        QStringLiteral("SELECT name, folded FROM users"), {}, [&renamed](const QSqlQuery &q) {
            const QString refolded = AccountNames::folded(q.value(0).toString());
            if (refolded != q.value(1).toString())
                renamed.append({ q.value(1).toString(), refolded });
        });
    for (const auto &[old, refolded] : std::as_const(renamed)) {
        if (findName(refolded)) {
            qWarning("peregrix-server: two names now compare equal; both are kept as they were");
            continue;
        }
        run(QStringLiteral("UPDATE users SET folded = ? WHERE folded = ?"), { refolded, old });
    }
}

// Each name stays with the device whose reports carry it; when several devices reported under
// one name, with the first of them.
void TrackingStore::bindNamesToTheirReports()
{
    QList<std::pair<QString, QString>> carried; // device, name as reported
    forEachRow(QStringLiteral("SELECT device, user_name, MIN(id) FROM reports"
                              " GROUP BY device, user_name ORDER BY 3"),
        {}, [&carried](const QSqlQuery &q) {
            carried.append({ q.value(0).toString(), q.value(1).toString() });
        });
    for (const auto &[device, name] : std::as_const(carried)) {
        if (!AccountNames::isTestUser(name))
            run(QStringLiteral("UPDATE users SET owner = ? WHERE folded = ? AND owner IS NULL"),
                { device, AccountNames::folded(name) });
    }
}

QString TrackingStore::aliasOf(const QString &device) const
{
    const QByteArray mac
        = QMessageAuthenticationCode::hash(device.toUtf8(), m_aliasKey, QCryptographicHash::Sha256);
    return QString::fromLatin1(mac.toHex().left(aliasLength));
}

QString TrackingStore::deviceWithAlias(const QString &alias)
{
    QString device;
    if (alias.size() != aliasLength)
        return device;
    forEachRow(QStringLiteral("SELECT device FROM devices WHERE alias = ?"), { alias },
        [&device](const QSqlQuery &q) { device = q.value(0).toString(); });
    return device;
}

void TrackingStore::keepWaitsShort()
{
    m_shortWaits = true;
    if (!m_postgres) {
        run(QStringLiteral("PRAGMA busy_timeout = %1").arg(servingLockWaitMs), {}).finish();
        return;
    }
    // The connection's own bounds come with a new connection.
    m_statements.clear();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.close();
    db.setConnectOptions(postgresConnectOptions());
    if (!db.open())
        throw Error("cannot connect to PostgreSQL again: " + db.lastError().text().toStdString());
    configurePostgresSession();
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
    return accountsOf({ device }).value(device);
}

// One statement for many devices, as a batch of reports from many phones needs: on PostgreSQL
// each statement is a round trip.
QHash<QString, TrackingStore::Account> TrackingStore::accountsOf(const QStringList &devices)
{
    QHash<QString, Account> found;
    for (qsizetype first = 0; first < devices.size(); first += rowsAtOnce) {
        const QStringList chosen = devices.mid(first, rowsAtOnce);
        forEachRow(QStringLiteral("WITH batch (device) AS (VALUES %1)"
                                  " SELECT batch.device, users.name, users.owner, stopped,"
                                  " stop_message, devices.device FROM batch"
                                  " LEFT JOIN devices ON devices.device = batch.device"
                                  " LEFT JOIN users ON users.device = batch.device")
                       .arg(placeholders(QStringLiteral("(CAST(? AS TEXT))"), chosen.size())),
            QVariantList(chosen.cbegin(), chosen.cend()), [&found](const QSqlQuery &q) {
                Account &a = found[q.value(0).toString()];
                a.name = textOrNull(q, 1);
                a.nameKept = !q.isNull(2);
                a.stopped = q.value(3).toBool();
                a.stopMessage = q.value(4).toString();
                a.known = !q.isNull(5);
            });
    }
    return found;
}

std::optional<TrackingStore::NameEntry> TrackingStore::findName(const QString &name)
{
    std::optional<NameEntry> entry;
    forEachRow(QStringLiteral("SELECT name, device, added_by_operator, created, owner FROM users"
                              " WHERE folded = ?"),
        { AccountNames::folded(name) }, [&entry](const QSqlQuery &q) {
            entry = NameEntry { q.value(0).toString(), textOrNull(q, 1), q.value(2).toBool(),
                q.value(3).toString(), textOrNull(q, 4) };
        });
    return entry;
}

void TrackingStore::addDevice(const QString &device, const QString &now)
{
    run(QStringLiteral("INSERT INTO devices (device, alias, first_seen, last_active)"
                       " VALUES (?, ?, ?, ?) ON CONFLICT (device) DO NOTHING"),
        { device, aliasOf(device), now, now });
}

bool TrackingStore::registerName(const QString &device, const QString &name)
{
    const QString folded = AccountNames::folded(name);
    try {
        inTransaction([&] {
            const QString now = utcNowWithMs();
            addDevice(device, now);
            run(QStringLiteral("UPDATE users SET device = NULL WHERE device = ? AND folded <> ?"),
                { device, folded });
            QSqlQuery &claim
                = run(QStringLiteral("INSERT INTO users (name, folded, device, created)"
                                     " VALUES (?, ?, ?, ?) ON CONFLICT (folded) DO UPDATE"
                                     " SET device = excluded.device"
                                     " WHERE (users.device IS NULL"
                                     " OR users.device = excluded.device)"
                                     " AND (users.owner IS NULL"
                                     " OR users.owner = excluded.device)"),
                    { name, folded, device, utcNow() });
            if (claim.numRowsAffected() != 1)
                throw NameTaken {};
        });
    } catch (const NameTaken &) {
        return false; // nothing of it was committed
    }
    return true;
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

bool TrackingStore::releaseName(const QString &name)
{
    bool found = false;
    inTransaction([&] {
        QSqlQuery &update
            = run(QStringLiteral("UPDATE users SET device = NULL, owner = NULL WHERE folded = ?"),
                { AccountNames::folded(name) });
        found = update.numRowsAffected() == 1;
    });
    return found;
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
        QStringList devices;
        for (const ReceivedReport &report : reports)
            devices.append(report.device);
        devices.removeDuplicates();
        QHash<QString, Account> accounts = accountsOf(devices);
        QList<qsizetype> admitted;
        QStringList newDevices;
        for (qsizetype i = 0; i < reports.size(); ++i) {
            Account &known = accounts[reports[i].device];
            outcomes[i].refusal = admission(reports[i], known);
            if (!outcomes[i].refusal.isEmpty()) {
                outcomes[i].outcome = Outcome::Refused;
                continue;
            }
            admitted.append(i);
            if (!known.known)
                newDevices.append(reports[i].device);
            known.known = true; // its next report in the batch is not a new device's
        }
        for (const QString &device : std::as_const(newDevices))
            addDevice(device, receivedText);
        insertReports(reports, admitted, receivedText, outcomes);
        noteActivity(reports, outcomes, accounts, receivedText);
    });
    return outcomes;
}

// One statement for many rows: on PostgreSQL each statement is a round trip. The rows it
// returns are the ones it stored; the others were there already, or hold another position
// under the same key.
void TrackingStore::insertReports(const QList<ReceivedReport> &reports,
    const QList<qsizetype> &chosen, const QString &received, QList<ReportOutcome> &outcomes)
{
    for (qsizetype first = 0; first < chosen.size(); first += rowsAtOnce) {
        const QList<qsizetype> rows = chosen.mid(first, rowsAtOnce);
        QVariantList values;
        values.reserve(rows.size() * 11);
        for (const qsizetype i : rows) {
            const ReceivedReport &r = reports[i];
            values << r.device << r.user << r.latitude << r.longitude << r.when << r.version
                   << r.accuracy << r.speed << r.id << (r.late ? 1 : 0) << received;
        }
        const QString sql
            = QStringLiteral("INSERT INTO reports (device, user_name, latitude, longitude,"
                             " device_time, version, accuracy, speed, report_id, late, received)"
                             " VALUES %1 ON CONFLICT (device, device_time, report_id) DO NOTHING"
                             " RETURNING device, device_time, report_id")
                  .arg(placeholders(
                      QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"), rows.size()));
        QSet<QString> stored;
        const auto store
            = [&stored](const QVariant &device, const QVariant &when, const QVariant &id) {
                  stored.insert(reportKey(device.toString(), when.toString(), id.toLongLong()));
              };
        if (m_sqlite)
            m_sqlite->forEachRow(
                sql, values, [&](const QVariantList &r) { store(r[0], r[1], r[2]); });
        else
            forEachRow(sql, values,
                [&](const QSqlQuery &q) { store(q.value(0), q.value(1), q.value(2)); });
        // The same report twice in one batch is stored once, for the first.
        QList<qsizetype> unstored;
        for (const qsizetype i : rows) {
            if (stored.remove(reportKey(reports[i].device, reports[i].when, reports[i].id)))
                outcomes[i].outcome = Outcome::Stored;
            else
                unstored.append(i);
        }
        if (!unstored.isEmpty())
            refuseMovedReports(reports, unstored, outcomes);
    }
}

// A report that was not stored is acknowledged only when the stored one under its key is the
// same report, that is at the same position; any other would be lost without a word.
void TrackingStore::refuseMovedReports(const QList<ReceivedReport> &reports,
    const QList<qsizetype> &rows, QList<ReportOutcome> &outcomes)
{
    QStringList keys;
    QVariantList values;
    for (const qsizetype i : rows) {
        keys.append(QStringLiteral("(device = ? AND device_time = ? AND report_id = ?)"));
        values << reports[i].device << reports[i].when << reports[i].id;
    }
    QHash<QString, std::pair<double, double>> positions;
    forEachRow(QStringLiteral("SELECT device, device_time, report_id, latitude, longitude"
                              " FROM reports WHERE %1")
                   .arg(keys.join(QLatin1String(" OR "))),
        values, [&positions](const QSqlQuery &q) {
            positions.insert(
                reportKey(q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong()),
                { q.value(3).toDouble(), q.value(4).toDouble() });
        });
    for (const qsizetype i : rows) {
        const ReceivedReport &r = reports[i];
        const auto position = positions.value(reportKey(r.device, r.when, r.id));
        if (position != std::pair(r.latitude, r.longitude)) {
            outcomes[i].outcome = Outcome::Refused;
            outcomes[i].refusal = movedReport;
        }
    }
}

// The page lists the devices by their latest stored report and shows how many they have, which
// the devices table keeps so that the page never counts a large track. A name that reports
// carry stays with their device.
void TrackingStore::noteActivity(const QList<ReceivedReport> &reports,
    const QList<ReportOutcome> &outcomes, const QHash<QString, Account> &accounts,
    const QString &received)
{
    QHash<QString, qint64> storedPerDevice;
    QSet<QString> named;
    for (qsizetype i = 0; i < reports.size(); ++i) {
        if (outcomes[i].outcome != Outcome::Stored)
            continue;
        ++storedPerDevice[reports[i].device];
        if (!AccountNames::isTestUser(reports[i].user))
            named.insert(reports[i].device);
    }
    const QStringList devices = storedPerDevice.keys();
    for (qsizetype first = 0; first < devices.size(); first += rowsAtOnce) {
        const QStringList chosen = devices.mid(first, rowsAtOnce);
        QVariantList values;
        for (const QString &device : chosen)
            values << device << storedPerDevice.value(device);
        run(QStringLiteral("WITH batch (device, stored) AS (VALUES %1)"
                           " UPDATE devices SET report_count = report_count"
                           " + (SELECT stored FROM batch WHERE batch.device = devices.device),"
                           " last_active = ? WHERE device IN (SELECT device FROM batch)")
                .arg(placeholders(
                    QStringLiteral("(CAST(? AS TEXT), CAST(? AS BIGINT))"), chosen.size())),
            values << received);
    }
    for (const QString &device : std::as_const(named)) {
        const Account kept = accounts.value(device);
        if (!kept.name.isNull() && !kept.nameKept)
            run(QStringLiteral("UPDATE users SET owner = ? WHERE folded = ? AND owner IS NULL"),
                { device, AccountNames::folded(kept.name) });
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
    return deviceEntries(QStringLiteral("ORDER BY d.device"), {});
}

QList<TrackingStore::DeviceEntry> TrackingStore::recentDevices(qint64 offset, qint64 limit)
{
    return deviceEntries(QStringLiteral("ORDER BY d.last_active DESC, d.device LIMIT ? OFFSET ?"),
        { limit, offset });
}

qint64 TrackingStore::deviceCount()
{
    qint64 count = 0;
    forEachRow(QStringLiteral("SELECT COUNT(*) FROM devices"), {},
        [&count](const QSqlQuery &q) { count = q.value(0).toLongLong(); });
    return count;
}

QList<TrackingStore::DeviceEntry> TrackingStore::deviceEntries(
    const QString &order, const QVariantList &values)
{
    QList<DeviceEntry> result;
    // A device without a name of its own, reporting under the shared test name, goes by the
    // name of its latest report.
    forEachRow(
        QStringLiteral(
            "SELECT d.device, d.alias, COALESCE(u.name, r.user_name), d.stopped, d.stop_message,"
            " d.report_count, r.latitude, r.longitude, r.device_time, r.accuracy, r.speed,"
            " r.report_id, r.late, r.received"
            " FROM devices d LEFT JOIN users u ON u.device = d.device"
            " LEFT JOIN reports r ON r.id = (SELECT l.id FROM reports l WHERE l.device = d.device"
            " ORDER BY l.device_time DESC, l.report_id DESC LIMIT 1) %1")
            .arg(order),
        values, [&result](const QSqlQuery &q) {
            DeviceEntry e { q.value(0).toString(), q.value(1).toString(), textOrNull(q, 2),
                q.value(3).toBool(), q.value(4).toString(), q.value(5).toLongLong(), std::nullopt };
            if (!q.isNull(6))
                e.last = trackPoint(q, 6);
            result.append(e);
        });
    return result;
}

QList<TrackingStore::NameEntry> TrackingStore::names()
{
    QList<NameEntry> result;
    forEachRow(QStringLiteral("SELECT name, device, added_by_operator, created, owner FROM users"
                              " ORDER BY folded"),
        {}, [&result](const QSqlQuery &q) {
            result.append({ q.value(0).toString(), textOrNull(q, 1), q.value(2).toBool(),
                q.value(3).toString(), textOrNull(q, 4) });
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

// The index on (device, device_time, report_id) starts each chunk where the last one ended:
// the range's lower end is raised to the last time handed over, and only reports of that very
// second with an id not above the last one are skipped.
QList<TrackingStore::TrackPoint> TrackingStore::trackChunk(
    const QString &device, const TimeRange &range, const TrackPosition &after, qint64 limit)
{
    QList<TrackPoint> points;
    forEachRow(QStringLiteral("SELECT latitude, longitude, device_time, accuracy, speed,"
                              " report_id, late, received FROM reports WHERE device = ?"
                              " AND device_time >= ? AND device_time <= ?"
                              " AND (device_time > ? OR report_id > ?)"
                              " ORDER BY device_time, report_id LIMIT ?"),
        { device, std::max(range.from, after.when), range.to, after.when, after.id, limit },
        [&points](const QSqlQuery &q) { points.append(trackPoint(q, 0)); });
    return points;
}

qint64 TrackingStore::reportCount(const QString &device, const TimeRange &range)
{
    qint64 count = 0;
    forEachRow(QStringLiteral("SELECT COUNT(*) FROM reports WHERE device = ?"
                              " AND device_time >= ? AND device_time <= ?"),
        { device, range.from, range.to },
        [&count](const QSqlQuery &q) { count = q.value(0).toLongLong(); });
    return count;
}
