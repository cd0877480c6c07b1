// ReportBatch: position reports waiting for their commit.
#pragma once

#include "ReceivedReport.h"
#include "ReportWriter.h"
#include "TrackingStore.h"

#include <QList>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

// Each commit waits for the disk, and that wait, not the work of storing, sets the pace of a
// server that takes one report per transaction. So reports are stored by a writer on a thread
// of its own, a batch at a time: while it commits one batch, the serving thread goes on taking
// requests, and the reports that arrive meanwhile make the next batch, one transaction for all
// of them. Each report is answered only after the commit that holds it, in the order they came.
class ReportBatch : public QObject
{
    Q_OBJECT
public:
    // The outcome of the report's store, or nothing when the transaction failed.
    using Stored = std::function<void(std::optional<TrackingStore::ReportOutcome>)>;

    // Once this many wait and the writer is free, they go at once rather than when the event
    // loop has nothing else to do.
    static constexpr qsizetype maxReports = 1000;

    // The database as TrackingStore::open() takes it; the admission decides, on the writer's
    // thread, whether each report may be stored.
    ReportBatch(
        const QString &database, TrackingStore::Admission admission, QObject *parent = nullptr);
    ~ReportBatch() override;

    void add(const ReceivedReport &report, Stored stored);
    // Whether the name went to the device, or nothing when the transaction failed.
    using Registered = std::function<void(std::optional<bool>)>;
    // Gives the name to the device on the writer's connection, so that the serving thread
    // never waits for the database's write lock; after the batch being written, if any.
    void registerName(const QString &device, const QString &name, Registered registered);
    // Stores what waits now, finishes what the writer has been given, and answers all of it
    // before returning.
    void commit();

private:
    struct Waiting
    {
        QList<ReceivedReport> reports;
        std::vector<Stored> stored;
    };

    void startWriter();
    void send();
    void answer(const Waiting &batch, const ReportWriter::Result &result);

    QString m_database;
    TrackingStore::Admission m_admission;
    QThread m_thread;
    ReportWriter *m_writer = nullptr; // lives on m_thread
    Waiting m_waiting;
    bool m_writing = false;
    QTimer m_idle;
};
