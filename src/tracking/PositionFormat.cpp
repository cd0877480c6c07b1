// PositionFormat: the texts in which the tracking screen shows a position and a speed.
#include "PositionFormat.h"

#include "platform/FixedFormat.h"

#include <cmath>
#include <limits>

qint32 PositionFormat::cutToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (value <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(value);
}

QString PositionFormat::coordinateText(double v, LocationUnits locationUnits)
{
    if (locationUnits != LocationUnits::DegreesMinutesSeconds)
        return formatFixed(v, 3, 6);
    // Whole degrees keep the sign; minutes and seconds are always 0 to 59, every step cut.
    const qint32 iD = cutToInt(v);
    double dM = (v - iD) * 60.0;
    if (dM < 0)
        dM = std::fabs(dM);
    const qint32 iM = cutToInt(dM);
    const double dS = (dM - iM) * 60.0;
    const qint32 iS = cutToInt(dS);
    return QStringLiteral("%1\u2218 %2' %3\"").arg(iD).arg(iM).arg(iS);
}

std::optional<QString> PositionFormat::speedText(double metresPerSecond, SpeedUnit speedUnit)
{
    if (cutToInt(metresPerSecond) == -1)
        return QStringLiteral("n/a");
    switch (speedUnit) {
    case SpeedUnit::MilesPerHour:
        return QStringLiteral("%1 MPH").arg(cutToInt(metresPerSecond * 36.0 * 0.0625));
    case SpeedUnit::KilometresPerHour:
        return QStringLiteral("%1 KPH").arg(cutToInt(metresPerSecond * 36.0 / 10.0));
    case SpeedUnit::MetresPerSecond:
        return formatFixed(metresPerSecond, 2, 1) + QLatin1String(" m/sec");
    default:
        return std::nullopt;
    }
}
