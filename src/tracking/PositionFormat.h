// PositionFormat: the texts in which the tracking screen shows a position and a speed.
#pragma once

#include "shared/PreferenceValues.h"

#include <QString>

#include <optional>

namespace PositionFormat {

// Cuts toward zero like a C cast, but saturates at the ends of qint32 and reads NaN as 0, so
// that no position a receiver can send makes the conversion undefined.
[[nodiscard]] qint32 cutToInt(double value);

// In degrees, minutes and seconds: whole degrees, U+2218, minutes and seconds ("51∘ 30' 0\"");
// in any other units: "%3.6f".
[[nodiscard]] QString coordinateText(double degrees, LocationUnits locationUnits);

// The speed text in MPH, KPH or m/sec, "n/a" for an unknown speed (-1); nothing for a unit
// value outside the three.
[[nodiscard]] std::optional<QString> speedText(double metresPerSecond, SpeedUnit speedUnit);

} // namespace PositionFormat
