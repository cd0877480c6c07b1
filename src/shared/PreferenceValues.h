// What the integer preferences stand for. The store keeps the plain integers; each is turned
// into its enum where it is read and back where it is written. Any integer converts, so a value
// that no settings page writes reads back unchanged and meets the readers' "any other value".
#pragma once

#include <QtGlobal>

// "speed": the unit of the speed shown and reported, in the order of the page's segments.
enum class SpeedUnit : qint32 {
    MilesPerHour = 0,
    KilometresPerHour = 1,
    MetresPerSecond = 2,
};

// "locationunits": how latitude and longitude are shown, in the order of the page's segments;
// any value but DegreesMinutesSeconds shows decimal degrees.
enum class LocationUnits : qint32 {
    DecimalDegrees = 0,
    DegreesMinutesSeconds = 1,
};

// "frequency": the stop of the frequency slider, named after its shortcut button; any other
// value means no frequency is set.
enum class FrequencyPosition : qint32 {
    Every15s = 0,
    Every30s = 1,
    Every1m = 2,
    Every2m = 3,
    Every5m = 4,
    Every10m = 5,
};
