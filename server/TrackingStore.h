// TrackingStore: the server's database of accounts, stopped devices and position reports.
#pragma once

#include "ReceivedReport.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class SqliteStatements;

// Every statement goes through here, prepared once and bound, so that the rest of the server
// never sees SQL. Apart from the schema, the settings made in open() and BEGIN IMMEDIATE, the
// statements are ones PostgreSQL takes as well, so a second backend only changes this class.
// Failures throw TrackingStore::Error; a report is acknowledged only after storeReports() has
// returned, that is after its transaction has been committed.
class TrackingStore
{
public:
    class Error : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    struct Account
    {
        QString name; // null when the device has no registered name
        bool nameKept = false; // reports carry the name, which stays with their device
        bool stopped = false;
        QString stopMessage;
        bool known = false; // the device has been seen before
    };
    struct NameEntry
    {
        QString name;
        QString device; // the device using the name now; null when none is
        bool addedByOperator = false;
        QString created; // UTC, ISO 8601
        // The device whose reports carry the name: it keeps the name, even after choosing
        // another, until the operator releases it. Null when no reports carry it.
        QString owner;
    };
    enum class Outcome { Stored, AlreadyStored, Refused };
    struct ReportOutcome
    {
        Outcome outcome = Outcome::AlreadyStored;
        QByteArray refusal; // why, when refused
    };
    // Why a report may not be stored, given its device's account; empty when it may.
    using Admission = std::function<QByteArray(const ReceivedReport &, const Account &)>;
    struct Summary
    {
        qint64 reports = 0;
        qint64 lateReports = 0;
        QString firstWhen; // device times, yyyyMMddHHmmss; null without reports
        QString lastWhen;
    };
    struct TrackPoint
    {
        double latitude = 0.0;
        double longitude = 0.0;
        QString when;
        qint32 accuracy = 0;
        QString speed;
        qint64 id = 0;
        bool late = false;
        QString received; // UTC, ISO 8601 with milliseconds
    };
    struct DeviceEntry
    {
        QString device;
        QString alias;
        QString name;
        bool stopped = false;
        QString stopMessage;
        qint64 reports = 0;
        std::optional<TrackPoint> last; // the report with the latest device time
    };
    // Device times, yyyyMMddHHmmss, both ends included.
    struct TimeRange
    {
        QString from = QStringLiteral("00000000000000");
        QString to = QStringLiteral("99999999999999");
    };
    // Where a read of a track in chunks has got to: the last report handed over.
    struct TrackPosition
    {
        QString when;
        qint64 id = -1;
    };

    // The characters of an alias: enough that no two devices of a large server share one.
    static constexpr int aliasLength = 16;
    // Statements wait this long for a lock another connection holds, unless told otherwise.
    static constexpr int defaultBusyTimeoutMs = 5000;

    // Each store has a database connection of its own, so a test can hold two on one file.
    explicit TrackingStore(const QString &connectionName = QStringLiteral("tracking-store"));
    ~TrackingStore();
    TrackingStore(const TrackingStore &) = delete;
    TrackingStore &operator=(const TrackingStore &) = delete;

    // Opens the SQLite file, creating it and its folder when needed, in WAL mode with full
    // synchronisation: a report acknowledged survives a crash of the process or the machine.
    // A postgresql://[USER@]HOST[:PORT]/DBNAME address opens that PostgreSQL database instead;
    // several servers may share it, so nothing read from it is kept between calls.
    void open(const QString &path);
    [[nodiscard]] static bool isPostgresUrl(const QString &database);
    // The database as open() was given it.
    [[nodiscard]] QString database() const { return m_database; }
    // For the serving thread, which must never stall for seconds: a statement waits at most
    // 250 ms for a lock another connection holds, and on PostgreSQL runs at most a second. A
    // lost PostgreSQL connection is opened again only when the server answers a probe within
    // 250 ms; after a probe that went unanswered, statements fail at once for a second.
    void keepWaitsShort();

    // The device's alias: a keyed hash of its identifier, which the page and the downloads
    // show in its place, since the identifier is the device's only credential. The key is
    // the database's own, so aliases stay the same from one start to the next.
    [[nodiscard]] QString aliasOf(const QString &device) const;
    // The device with this alias; null when there is none.
    [[nodiscard]] QString deviceWithAlias(const QString &alias);

    [[nodiscard]] Account account(const QString &device);
    [[nodiscard]] std::optional<NameEntry> findName(const QString &name);
    // Gives the name to the device; false when another device uses it or its reports carry
    // it. The device's earlier name, if any, becomes free unless the device's reports carry it.
    bool registerName(const QString &device, const QString &name);
    // A free name added by the operator; false when the name exists already.
    bool addName(const QString &name);
    // The name becomes free for any device, whoever uses it or reported under it; false when
    // there is no such name.
    bool releaseName(const QString &name);
    // False when the device is unknown.
    bool setStopped(const QString &device, bool stopped, const QString &message);

    // The reports in one transaction, in their order, each admitted or refused on its device's
    // account as it stands in that transaction; the outcome of each, in the same order. A
    // report seen before (same device, device time and id) is not stored again; one with the
    // same device, time and id as a stored report but another position is refused.
    QList<ReportOutcome> storeReports(const QList<ReceivedReport> &reports,
        const QDateTime &received, const Admission &admission);

    [[nodiscard]] Summary summary(const QString &device);
    // Every device, by identifier.
    [[nodiscard]] QList<DeviceEntry> devices();
    // `limit` devices, the most recently active first, after skipping `offset` of them.
    [[nodiscard]] QList<DeviceEntry> recentDevices(qint64 offset, qint64 limit);
    [[nodiscard]] qint64 deviceCount();
    [[nodiscard]] QList<NameEntry> names();
    // The device's newest `limit` reports (all when negative), oldest first by device time.
    [[nodiscard]] QList<TrackPoint> track(const QString &device, qint64 limit = -1);
    // Up to `limit` of the device's reports in the range that come after `after`, oldest first:
    // a long track read a piece at a time, each piece a short statement of its own.
    [[nodiscard]] QList<TrackPoint> trackChunk(
        const QString &device, const TimeRange &range, const TrackPosition &after, qint64 limit);
    [[nodiscard]] qint64 reportCount(const QString &device, const TimeRange &range);

private:
    QSqlQuery &prepared(const QString &sql);
    QSqlQuery &run(const QString &sql, const QVariantList &values);
    void forEachRow(const QString &sql, const QVariantList &values,
        const std::function<void(const QSqlQuery &)> &row);
    void inTransaction(const std::function<void()> &work);
    void insertReports(const QList<ReceivedReport> &reports, const QList<qsizetype> &chosen,
        const QString &received, QList<ReportOutcome> &outcomes);
    void transaction(const std::function<void()> &work);
    void openPostgres(const QString &url);
    void configurePostgresSession();
    [[nodiscard]] QString postgresConnectOptions() const;
    bool reconnectIfLost();
    [[nodiscard]] bool postgresAnswers();
    void addDevice(const QString &device, const QString &now);
    void createSchema();
    void createTables();
    void upgradeTables();
    void migrateData();
    void loadAliasKey();
    void giveAliases();
    void refoldNames();
    void bindNamesToTheirReports();
    [[nodiscard]] QList<DeviceEntry> deviceEntries(
        const QString &order, const QVariantList &values);
    [[nodiscard]] QHash<QString, Account> accountsOf(const QStringList &devices);
    void refuseMovedReports(const QList<ReceivedReport> &reports, const QList<qsizetype> &rows,
        QList<ReportOutcome> &outcomes);
    void noteActivity(const QList<ReceivedReport> &reports, const QList<ReportOutcome> &outcomes,
        const QHash<QString, Account> &accounts, const QString &received);
    [[noreturn]] void fail(const QString &what, const QSqlQuery *query = nullptr) const;

    QString m_connection;
    QString m_database;
    bool m_inTransaction = false;
    bool m_postgres = false;
    bool m_shortWaits = false;
    QDeadlineTimer m_nextProbe; // expired: a probe may be made
    QByteArray m_aliasKey;
    QHash<QString, QSqlQuery> m_statements;
    std::unique_ptr<SqliteStatements> m_sqlite; // on SQLite only
};
