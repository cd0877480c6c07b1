// ReportWriter: stores batches of reports on a thread and a database connection of its own.
#pragma once

#include "ReceivedReport.h"
#include "TrackingStore.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class ReportWriter : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        QList<TrackingStore::ReportOutcome> outcomes; // one for each report, in order
        bool failed = false; // nothing was stored
    };

    // The database as TrackingStore::open() takes it; it is opened on the writer's thread, at
    // the first batch. The admission is called on the writer's thread.
    ReportWriter(const QString &database, TrackingStore::Admission admission);
    ~ReportWriter() override;

    // One transaction; called on the writer's thread.
    [[nodiscard]] Result store(const QList<ReceivedReport> &reports);
    // TrackingStore::registerName() on the writer's connection; nothing when it failed.
    [[nodiscard]] std::optional<bool> registerName(const QString &device, const QString &name);

private:
    void open();

    QString m_database;
    TrackingStore::Admission m_admission;
    std::unique_ptr<TrackingStore> m_store;
};
