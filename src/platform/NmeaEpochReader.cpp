// NmeaEpochReader: the fixes of a recorded NMEA file, read one at a time as they are wanted.
#include "NmeaEpochReader.h"

#include "NmeaSentence.h"

#include <cmath>

namespace {

using Fix = NmeaEpochReader::Fix;

constexpr double metresPerSecondPerKnot = 1852.0 / 3600.0;

bool usable(const Fix &fix)
{
    return fix.valid && !fix.invalid && fix.latitude && fix.longitude;
}

void readGga(const NmeaSentence &s, Fix &fix)
{
    fix.latitude = s.coordinate(2, 3, 90.0);
    fix.longitude = s.coordinate(4, 5, 180.0);
    const std::optional<double> quality = s.number(6);
    (quality && *quality > 0 ? fix.valid : fix.invalid) = true;
    // A dilution so large that the accuracy in metres overflows says nothing usable.
    if (const auto hdop = s.number(8);
        hdop && *hdop > 0 && std::isfinite(*hdop * NmeaEpochReader::userEquivalentRangeError))
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

NmeaEpoch toEpoch(const Fix &fix)
{
    QGeoPositionInfo info;
    QGeoCoordinate coordinate(*fix.latitude, *fix.longitude);
    if (fix.altitude)
        coordinate.setAltitude(*fix.altitude);
    info.setCoordinate(coordinate);
    if (fix.hdop)
        info.setAttribute(QGeoPositionInfo::HorizontalAccuracy,
            *fix.hdop * NmeaEpochReader::userEquivalentRangeError);
    if (fix.speed)
        info.setAttribute(QGeoPositionInfo::GroundSpeed, *fix.speed);
    if (fix.course && *fix.course >= 0 && *fix.course <= 360)
        info.setAttribute(QGeoPositionInfo::Direction, *fix.course);
    return { fix.time, info };
}

} // namespace

NmeaEpochReader::NmeaEpochReader(QByteArray nmea)
    : m_nmea(std::move(nmea))
{ }

std::optional<NmeaEpoch> NmeaEpochReader::finishEpoch()
{
    const Fix done = std::exchange(m_fix, Fix());
    return usable(done) ? std::optional(toEpoch(done)) : std::nullopt;
}

std::optional<NmeaEpoch> NmeaEpochReader::next()
{
    while (m_position <= m_nmea.size()) {
        qsizetype end = m_nmea.indexOf('\n', m_position);
        if (end < 0)
            end = m_nmea.size();
        const QByteArrayView line = QByteArrayView(m_nmea).sliced(m_position, end - m_position);
        m_position = end + 1;
        const std::optional<NmeaSentence> s = NmeaSentence::parse(line);
        if (!s)
            continue;
        const QByteArray type = s->type();
        if (type != "GGA" && type != "RMC" && type != "VTG")
            continue;
        std::optional<NmeaEpoch> finished;
        if (type != "VTG") {
            const std::optional<QTime> time = s->time(1);
            if (!time)
                continue;
            if (*time != m_fix.time)
                finished = finishEpoch();
            m_fix.time = *time;
        }
        if (type == "GGA")
            readGga(*s, m_fix);
        else if (type == "RMC")
            readRmc(*s, m_fix);
        else
            readVtg(*s, m_fix);
        if (finished)
            return finished;
    }
    if (std::exchange(m_ended, true))
        return std::nullopt;
    return finishEpoch(); // the last epoch counts too
}
