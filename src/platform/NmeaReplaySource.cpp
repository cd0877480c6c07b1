// NmeaReplaySource: replays a recorded NMEA file as a live position source, looping at its end.
#include "NmeaReplaySource.h"

#include "NmeaSentence.h"

#include <QFile>

#include <cmath>

namespace {

constexpr double metresPerSecondPerKnot = 1852.0 / 3600.0;
constexpr int defaultPauseMs = 1000;

// What the sentences of one epoch have told so far.
struct Fix
{
    QTime time;
    std::optional<double> latitude, longitude, hdop, speed, altitude, course;
    bool valid = false;
    bool invalid = false; // a sentence of this epoch said there is no fix

    [[nodiscard]] bool usable() const { return valid && !invalid && latitude && longitude; }
};

void readGga(const NmeaSentence &s, Fix &fix)
{
    fix.latitude = s.coordinate(2, 3, 90.0);
    fix.longitude = s.coordinate(4, 5, 180.0);
    const std::optional<double> quality = s.number(6);
    (quality && *quality > 0 ? fix.valid : fix.invalid) = true;
    // A dilution so large that the accuracy in metres overflows says nothing usable.
    if (const auto hdop = s.number(8);
        hdop && *hdop > 0 && std::isfinite(*hdop * NmeaReplaySource::userEquivalentRangeError))
        fix.hdop = hdop;
    fix.altitude = s.number(9);
}

void readRmc(const NmeaSentence &s, Fix &fix)
{
    (s.field(2) == "A" ? fix.valid : fix.invalid) = true;
    if (!fix.latitude || !fix.longitude) {
        fix.latitude = s.coordinate(3, 4, 90.0);
        fix.longitude = s.coordinate(5, 6, 180.0);
    }
    if (const auto knots = s.number(7); knots && *knots >= 0)
        fix.speed = *knots * metresPerSecondPerKnot;
    fix.course = s.number(8);
}

void readVtg(const NmeaSentence &s, Fix &fix)
{
    if (const auto kmh = s.number(7); kmh && *kmh >= 0 && !fix.speed)
        fix.speed = *kmh / 3.6;
}

NmeaReplaySource::Epoch toEpoch(const Fix &fix)
{
    QGeoPositionInfo info;
    QGeoCoordinate coordinate(*fix.latitude, *fix.longitude);
    if (fix.altitude)
        coordinate.setAltitude(*fix.altitude);
    info.setCoordinate(coordinate);
    if (fix.hdop)
        info.setAttribute(QGeoPositionInfo::HorizontalAccuracy,
            *fix.hdop * NmeaReplaySource::userEquivalentRangeError);
    if (fix.speed)
        info.setAttribute(QGeoPositionInfo::GroundSpeed, *fix.speed);
    if (fix.course && *fix.course >= 0 && *fix.course <= 360)
        info.setAttribute(QGeoPositionInfo::Direction, *fix.course);
    return { fix.time, info };
}

} // namespace

std::vector<NmeaReplaySource::Epoch> NmeaReplaySource::readEpochs(const QByteArray &nmea)
{
    std::vector<Epoch> epochs;
    Fix fix;
    auto finish = [&] {
        if (fix.usable())
            epochs.push_back(toEpoch(fix));
        fix = Fix();
    };
    for (const QByteArray &line : nmea.split('\n')) {
        const std::optional<NmeaSentence> s = NmeaSentence::parse(line);
        if (!s)
            continue;
        const QByteArray type = s->type();
        if (type != "GGA" && type != "RMC" && type != "VTG")
            continue;
        if (type != "VTG") {
            const std::optional<QTime> time = s->time(1);
            if (!time)
                continue;
            if (*time != fix.time)
                finish();
            fix.time = *time;
        }
        if (type == "GGA")
            readGga(*s, fix);
        else if (type == "RMC")
            readRmc(*s, fix);
        else
            readVtg(*s, fix);
    }
    finish(); // the last epoch counts too
    return epochs;
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
        m_epochs = readEpochs(file.readAll());
    }
    if (m_epochs.empty()) {
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

int NmeaReplaySource::pauseAfter(std::size_t index) const
{
    const std::size_t next = (index + 1) % m_epochs.size();
    if (next == 0)
        return defaultPauseMs;
    int pause = m_epochs[index].timeOfDay.msecsTo(m_epochs[next].timeOfDay);
    if (pause < 0)
        pause += 24 * 60 * 60 * 1000; // past midnight
    return pause > 0 && pause <= 60'000 ? pause : defaultPauseMs;
}

void NmeaReplaySource::replayNext()
{
    const std::size_t index = m_next;
    m_next = (m_next + 1) % m_epochs.size();
    m_last = m_epochs[index].info;
    m_last.setTimestamp(QDateTime::currentDateTimeUtc());
    m_timer.start(qMax(pauseAfter(index), updateInterval()));
    Q_EMIT positionUpdated(m_last);
}
