// The names of the notifications through which the screens talk, one definition each.
#pragma once

#include <QString>

namespace NotificationNames {

// No object: every themed screen repaints itself from the stored theme colour.
inline const QString BGColourSet = QStringLiteral("BGColourSet");
// No object: the tracking screen re-reads the speed unit.
inline const QString SpeedSet = QStringLiteral("SpeedSet");
// No object: the tracking screen re-reads the location units.
inline const QString LocationUnitsSet = QStringLiteral("LocationUnitsSet");
// Object: a position report's request text, before escaping.
inline const QString LocationSent = QStringLiteral("LocationSent");
// Object: the server's whole reply to a report, which begins with "OK".
inline const QString LocationOK = QStringLiteral("LocationOK");

} // namespace NotificationNames
