// SqliteStatements: statements run through SQLite's own interface, on a connection QtSql opened.
#include "SqliteStatements.h"

#include "TrackingStore.h"

#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlDriver>

#include <sqlite3.h>

namespace {

// The same storage classes as QtSql's SQLite driver gives the values a report has. Text is
// bound without a copy: the values outlive the statement's run.
int bind(sqlite3_stmt *statement, int index, const QVariant &value)
{
    if (value.isNull())
        return sqlite3_bind_null(statement, index);
    switch (value.metaType().id()) {
    case QMetaType::QString: {
        const auto *text = static_cast<const QString *>(value.constData());
        return sqlite3_bind_text16(
            statement, index, text->utf16(), int(text->size() * 2), SQLITE_STATIC);
    }
    case QMetaType::Double:
        return sqlite3_bind_double(statement, index, value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    default: {
        const QString text = value.toString();
        return sqlite3_bind_text16(
            statement, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
    }
    }
}

QVariant column(sqlite3_stmt *statement, int index)
{
    switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(statement, index));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, index);
    case SQLITE_NULL:
        return {};
    default: {
        const void *text = sqlite3_column_text16(statement, index);
        return QString(static_cast<const QChar *>(text),
            sqlite3_column_bytes16(statement, index) / qsizetype(sizeof(QChar)));
    }
    }
}

} // namespace

SqliteStatements::SqliteStatements(const QSqlDatabase &database)
{
    const QVariant handle = database.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0 && handle.constData())
        m_db = *static_cast<sqlite3 *const *>(handle.constData());
    if (!m_db)
        throw TrackingStore::Error("not an open SQLite connection");
}

SqliteStatements::~SqliteStatements()
{
    for (sqlite3_stmt *statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
}

sqlite3_stmt *SqliteStatements::prepared(const QString &sql)
{
    sqlite3_stmt *&statement = m_statements[sql];
    if (!statement
        && sqlite3_prepare16_v3(m_db, sql.utf16(), int(sql.size() * 2), SQLITE_PREPARE_PERSISTENT,
               &statement, nullptr)
            != SQLITE_OK) {
        m_statements.remove(sql);
        fail(QStringLiteral("prepare"), sql);
    }
    return statement;
}

void SqliteStatements::forEachRow(const QString &sql, const QVariantList &values,
    const std::function<void(const QVariantList &)> &row)
{
    sqlite3_stmt *statement = prepared(sql);
    // Reset and unbound whatever happens: the bound text is not the statement's to keep.
    const auto done = qScopeGuard([statement] {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    });
    if (values.size() != sqlite3_bind_parameter_count(statement))
        throw TrackingStore::Error("run failed: " + QString::number(values.size()).toStdString()
            + " values for the placeholders of [" + sql.toStdString() + "]");
    for (int i = 0; i < values.size(); ++i) {
        if (bind(statement, i + 1, values[i]) != SQLITE_OK)
            fail(QStringLiteral("bind"), sql);
    }
    const int columns = sqlite3_column_count(statement);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        QVariantList rowValues;
        rowValues.reserve(columns);
        for (int i = 0; i < columns; ++i)
            rowValues.append(column(statement, i));
        row(rowValues);
    }
    if (step != SQLITE_DONE)
        fail(QStringLiteral("run"), sql);
}

void SqliteStatements::fail(const QString &what, const QString &sql) const
{
    throw TrackingStore::Error(QStringLiteral("%1 failed: %2 [%3]")
                                   .arg(what, QString::fromUtf8(sqlite3_errmsg(m_db)), sql)
                                   .toStdString());
}
