// PositionSources: makes the position source that a -location option names.
#pragma once

#include <QString>

class QGeoPositionInfoSource;

namespace PositionSources {

// "system", "nmea:FILE", "serial:DEVICE[:BAUD]" or "gpsd[:HOST[:PORT]]".
[[nodiscard]] bool isValidOption(const QString &option);

// The source, or null when the option is not valid or names a source that cannot be had.
[[nodiscard]] QGeoPositionInfoSource *create(const QString &option);

} // namespace PositionSources
