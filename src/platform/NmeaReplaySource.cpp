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
        m_recording = file.readAll();
        m_reader = NmeaEpochReader(m_recording);
        m_upcoming = m_reader.next();
    }
    if (!m_upcoming) {
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

// The pause is the recorded one, and a second at the end of the recording or where the
// recording's clock jumps.
void NmeaReplaySource::replayNext()
{
    const NmeaEpoch current = *m_upcoming;
    m_upcoming = m_reader.next();
    const bool wrapped = !m_upcoming;
    if (wrapped) {
        m_reader = NmeaEpochReader(m_recording);
        m_upcoming = m_reader.next();
    }
    int pause = current.timeOfDay.msecsTo(m_upcoming->timeOfDay);
    if (pause < 0)
        pause += 24 * 60 * 60 * 1000; // past midnight
    if (wrapped || pause <= 0 || pause > 60'000)
        pause = defaultPauseMs;
    m_last = current.info;
    m_last.setTimestamp(QDateTime::currentDateTimeUtc());
    m_timer.start(qMax(pause, updateInterval()));
    Q_EMIT positionUpdated(m_last);
}
