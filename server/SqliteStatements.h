// SqliteStatements: statements run through SQLite's own interface, on a connection QtSql opened.
#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>

class QSqlDatabase;
struct sqlite3;
struct sqlite3_stmt;

// For the statement that stores a batch's reports, eleven values a row: binding a value through
// QtSql costs more than SQLite takes to insert the row, and the writer's time per batch is what
// the disk's sync leaves for reports to gather. Everything else goes through QtSql.
class SqliteStatements
{
public:
    // The connection must be an open SQLite one, and outlive this object.
    explicit SqliteStatements(const QSqlDatabase &database);
    // Finalizes the statements: a connection with statements left open does not close.
    ~SqliteStatements();
    SqliteStatements(const SqliteStatements &) = delete;
    SqliteStatements &operator=(const SqliteStatements &) = delete;

    // Runs sql with the values bound to its placeholders in order, and hands over each row it
    // returns. Throws TrackingStore::Error when SQLite fails.
    void forEachRow(const QString &sql, const QVariantList &values,
        const std::function<void(const QVariantList &)> &row);

private:
    sqlite3_stmt *prepared(const QString &sql);
    [[noreturn]] void fail(const QString &what, const QString &sql) const;

    sqlite3 *m_db = nullptr;
    QHash<QString, sqlite3_stmt *> m_statements;
};
