// PositionFormat: the texts in which the tracking screen shows a position and a speed.
#pragma once

#include <QString>

#include <optional>

namespace PositionFormat {

// Cuts toward zero like a C cast, but saturates at the ends of qint32 and reads NaN as 0, so
// that no position a receiver can send makes the conversion undefined.
[[nodiscard]] qint32 cutToInt(double value);

// Units 1: whole degrees, U+2218, minutes and seconds ("51∘ 30' 0\""); any other units: "%3.6f".
[[nodiscard]] QString coordinateText(double degrees, qint32 locationUnits);

// The speed text in unit 0 (MPH), 1 (KPH) or 2 (m/sec), "n/a" for an unknown speed (-1);
// nothing for any other unit.
[[nodiscard]] std::optional<QString> speedText(double metresPerSecond, qint32 speedUnit);

} // namespace PositionFormat
