// Fuzz target: a recorded NMEA file as the replay reads it, and each of its lines as a
// sentence with its field readers.
#include "FuzzInput.h"

#include "platform/NmeaEpochReader.h"
#include "platform/NmeaSentence.h"

#include <cmath>

namespace {

void checkSentence(QByteArrayView line)
{
    const std::optional<NmeaSentence> s = NmeaSentence::parse(line);
    if (!s)
        return;
    FUZZ_CHECK(s->type().size() == 3);
    FUZZ_CHECK(s->field(0).isEmpty() && s->field(s->fieldCount() + 1).isEmpty());
    for (qsizetype i = 1; i <= s->fieldCount(); ++i) {
        if (const auto n = s->number(i))
            FUZZ_CHECK(std::isfinite(*n));
        if (const auto t = s->time(i))
            FUZZ_CHECK(t->isValid());
        if (const auto c = s->coordinate(i, i + 1, 90.0))
            FUZZ_CHECK(std::isfinite(*c) && std::abs(*c) <= 90.0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray nmea = FuzzInput::bytes(data, size);
    for (const QByteArray &line : nmea.split('\n'))
        checkSentence(line);

    NmeaEpochReader reader(nmea);
    while (const std::optional<NmeaEpoch> epoch = reader.next()) {
        FUZZ_CHECK(epoch->timeOfDay.isValid());
        const QGeoCoordinate coordinate = epoch->info.coordinate();
        FUZZ_CHECK(coordinate.isValid());
        FUZZ_CHECK(std::abs(coordinate.latitude()) <= 90.0);
        FUZZ_CHECK(std::abs(coordinate.longitude()) <= 180.0);
        FUZZ_CHECK(coordinate.type() == QGeoCoordinate::Coordinate2D
            || std::isfinite(coordinate.altitude()));
        // What the location service hands on: an accuracy and a speed the screens can show.
        for (const auto attribute :
            { QGeoPositionInfo::HorizontalAccuracy, QGeoPositionInfo::GroundSpeed }) {
            if (epoch->info.hasAttribute(attribute)) {
                const qreal value = epoch->info.attribute(attribute);
                FUZZ_CHECK(std::isfinite(value) && value >= 0);
            }
        }
        if (epoch->info.hasAttribute(QGeoPositionInfo::Direction)) {
            const qreal course = epoch->info.attribute(QGeoPositionInfo::Direction);
            FUZZ_CHECK(course >= 0 && course <= 360);
        }
    }
    return 0;
}
