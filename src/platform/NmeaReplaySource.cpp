// NmeaReplaySource: replays a recorded NMEA file as a live position source, looping at its end.
#include "NmeaReplaySource.h"

#include <QFile>

namespace {
constexpr int defaultPauseMs = 1000;
}

NmeaReplaySource::NmeaReplaySource(const QString &fileName, QObject *parent)
    : QGeoPositionInfoSource(parent)
    , m_fileName(fileName)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &NmeaReplaySource::replayNext);
}

void NmeaReplaySource::setUpdateInterval(int msec)
{
    QGeoPositionInfoSource::setUpdateInterval(qMax(msec, 0));
}

QGeoPositionInfo NmeaReplaySource::lastKnownPosition(bool) const
{
    return m_last;
}

QGeoPositionInfoSource::PositioningMethods NmeaReplaySource::supportedPositioningMethods() const
{
    return SatellitePositioningMethods;
}

int NmeaReplaySource::minimumUpdateInterval() const
{
    return 0;
}

void NmeaReplaySource::fail(Error error)
{
    m_error = error;
    Q_EMIT errorOccurred(error);
}

void NmeaReplaySource::startUpdates()
{
    if (!m_loaded) {
        m_loaded = true;
        QFile file(m_fileName);
        if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileSize) {
            fail(AccessError);
            return;
        }
        m_reader = NmeaEpochReader(file.readAll());
    }
    if (!hasEpoch(0)) {
        fail(AccessError);
        return;
    }
    m_error = NoError;
    if (!m_timer.isActive())
        m_timer.start(0);
}

void NmeaReplaySource::stopUpdates()
{
    m_timer.stop();
}

void NmeaReplaySource::requestUpdate(int)
{
    if (m_last.isValid())
        QTimer::singleShot(0, this, [this] { Q_EMIT positionUpdated(m_last); });
    else
        startUpdates();
}

bool NmeaReplaySource::hasEpoch(std::size_t index)
{
    while (m_epochs.size() <= index && !m_readWhole) {
        if (std::optional<NmeaEpoch> epoch = m_reader.next()) {
            m_epochs.push_back(*epoch);
        } else {
            m_readWhole = true;
            m_reader = NmeaEpochReader(); // the recording is no longer needed
        }
    }
    return index < m_epochs.size();
}

// The pause before m_next, which is 0 again at the end of the recording.
int NmeaReplaySource::pauseAfter(std::size_t index) const
{
    if (m_next == 0)
        return defaultPauseMs;
    int pause = m_epochs[index].timeOfDay.msecsTo(m_epochs[m_next].timeOfDay);
    if (pause < 0)
        pause += 24 * 60 * 60 * 1000; // past midnight
    return pause > 0 && pause <= 60'000 ? pause : defaultPauseMs;
}

void NmeaReplaySource::replayNext()
{
    const std::size_t index = m_next;
    m_next = hasEpoch(index + 1) ? index + 1 : 0;
    m_last = m_epochs[index].info;
    m_last.setTimestamp(QDateTime::currentDateTimeUtc());
    m_timer.start(qMax(pauseAfter(index), updateInterval()));
    Q_EMIT positionUpdated(m_last);
}
