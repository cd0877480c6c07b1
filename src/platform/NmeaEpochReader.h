// NmeaEpochReader: the fixes of a recorded NMEA file, read one at a time as they are wanted.
#pragma once

#include <QByteArray>
#include <QGeoPositionInfo>
#include <QTime>

#include <optional>

// One fix of a recording: the sentences that share a time of day.
struct NmeaEpoch
{
    QTime timeOfDay;
    QGeoPositionInfo info; // coordinate and attributes; stamped when replayed
};

class NmeaEpochReader
{
public:
    // Metres of horizontal error per unit of HDOP, a typical figure for a consumer receiver.
    static constexpr double userEquivalentRangeError = 5.0;

    explicit NmeaEpochReader(QByteArray nmea = {});

    // The next fix, or nothing at the end of the recording. Sentences that fail their checksum,
    // epochs without a fix and lines that are no NMEA at all are skipped.
    [[nodiscard]] std::optional<NmeaEpoch> next();

    // What the sentences of one epoch have told so far.
    struct Fix
    {
        QTime time;
        std::optional<double> latitude, longitude, hdop, speed, altitude, course;
        bool valid = false;
        bool invalid = false; // a sentence of this epoch said there is no fix
    };

private:
    // The epoch read so far, if it is a usable fix; a new one begins.
    std::optional<NmeaEpoch> finishEpoch();

    QByteArray m_nmea;
    qsizetype m_position = 0;
    Fix m_fix;
    bool m_ended = false;
};
