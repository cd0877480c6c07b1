// ReportWriter: stores batches of reports on a thread and a database connection of its own.
#include "ReportWriter.h"

#include <QDateTime>

ReportWriter::ReportWriter(const QString &database, TrackingStore::Admission admission)
    : m_database(database)
    , m_admission(std::move(admission))
{ }

ReportWriter::~ReportWriter() = default;

void ReportWriter::open()
{
    if (m_store)
        return;
    auto store = std::make_unique<TrackingStore>(QStringLiteral("report-writer"));
    store->open(m_database);
    m_store = std::move(store);
}

std::optional<bool> ReportWriter::registerName(const QString &device, const QString &name)
{
    try {
        open();
        return m_store->registerName(device, name);
    } catch (const TrackingStore::Error &error) {
        qWarning("peregrix-server: database: %s", error.what());
        return std::nullopt;
    }
}

ReportWriter::Result ReportWriter::store(const QList<ReceivedReport> &reports)
{
    try {
        open();
        return { m_store->storeReports(reports, QDateTime::currentDateTimeUtc(), m_admission),
            false };
    } catch (const TrackingStore::Error &error) {
        qWarning("peregrix-server: database: %s", error.what());
        return { {}, true };
    }
}
