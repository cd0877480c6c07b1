// ReportBatch: position reports waiting for their commit.
#include "ReportBatch.h"

#include <QCoreApplication>

ReportBatch::ReportBatch(
    const QString &database, TrackingStore::Admission admission, QObject *parent)
    : QObject(parent)
    , m_database(database)
    , m_admission(std::move(admission))
{
    // A zero timer fires once the events already waiting, other requests among them, are
    // handled, so that reports that came in together go in one batch.
    m_idle.setSingleShot(true);
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, &ReportBatch::send);
}

// A batch being written is finished first; its replies can no longer go out. The writer's
// database connection is closed on the thread that opened it.
ReportBatch::~ReportBatch()
{
    if (!m_writer)
        return;
    QMetaObject::invokeMethod(
        m_writer, [writer = m_writer] { delete writer; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void ReportBatch::startWriter()
{
    if (m_writer)
        return;
    m_writer = new ReportWriter(m_database, m_admission);
    m_writer->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("report-writer"));
    m_thread.start();
}

void ReportBatch::add(const ReceivedReport &report, Stored stored)
{
    m_waiting.reports.append(report);
    m_waiting.stored.push_back(std::move(stored));
    if (m_writing)
        return; // the batch goes when the writer is done
    if (m_waiting.reports.size() >= maxReports)
        send();
    else if (!m_idle.isActive())
        m_idle.start();
}

void ReportBatch::send()
{
    m_idle.stop();
    if (m_writing || m_waiting.reports.isEmpty())
        return;
    startWriter();
    m_writing = true;
    QMetaObject::invokeMethod(
        m_writer,
        [this, writer = m_writer, batch = std::exchange(m_waiting, {})]() mutable {
            ReportWriter::Result result = writer->store(batch.reports);
            // Moved, not copied: a copy would copy every report's answer.
            QMetaObject::invokeMethod(
                this,
                [this, batch = std::move(batch), result = std::move(result)] {
                    m_writing = false;
                    // What came in meanwhile goes to the writer before these answers go
                    // out, so that it commits while this thread writes them.
                    send();
                    answer(batch, result);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void ReportBatch::registerName(const QString &device, const QString &name, Registered registered)
{
    startWriter();
    QMetaObject::invokeMethod(
        m_writer,
        [this, writer = m_writer, device, name, registered = std::move(registered)] {
            const std::optional<bool> result = writer->registerName(device, name);
            QMetaObject::invokeMethod(
                this, [registered, result] { registered(result); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void ReportBatch::commit()
{
    m_idle.stop();
    if (!m_waiting.reports.isEmpty()) {
        startWriter();
        const Waiting batch = std::exchange(m_waiting, {});
        ReportWriter::Result result;
        QMetaObject::invokeMethod(
            m_writer, [&] { result = m_writer->store(batch.reports); },
            Qt::BlockingQueuedConnection);
        answer(batch, result);
    }
    if (m_writer) {
        // What the writer was given before is done by now; its answers wait in the queue.
        QMetaObject::invokeMethod(
            m_writer, [] {}, Qt::BlockingQueuedConnection);
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

void ReportBatch::answer(const Waiting &batch, const ReportWriter::Result &result)
{
    for (size_t i = 0; i < batch.stored.size(); ++i)
        batch.stored[i](
            result.failed ? std::nullopt : std::optional(result.outcomes[qsizetype(i)]));
}
