// ReportWriter: stores batches of reports on a thread and a database connection of its own.
#include "ReportWriter.h"

#include <QDateTime>

ReportWriter::ReportWriter(const QString &database, TrackingStore::Admission admission)
    : m_database(database)
    , m_admission(std::move(admission))
{ }

ReportWriter::~ReportWriter() = default;

ReportWriter::Result ReportWriter::store(const QList<ReceivedReport> &reports)
{
    try {
        if (!m_store) {
            auto store = std::make_unique<TrackingStore>(QStringLiteral("report-writer"));
            store->open(m_database);
            m_store = std::move(store);
        }
        return { m_store->storeReports(reports, QDateTime::currentDateTimeUtc(), m_admission),
            false };
    } catch (const TrackingStore::Error &error) {
        qWarning("peregrix-server: database: %s", error.what());
        return { {}, true };
    }
}
