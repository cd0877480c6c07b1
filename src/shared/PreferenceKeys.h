// The keys of the preferences store, one definition each.
#pragma once

#include <QString>

namespace PreferenceKeys {

inline const QString user = QStringLiteral("user"); // string: reporting name
inline const QString validated = QStringLiteral("validated"); // bool: name validated
inline const QString deviceid = QStringLiteral("deviceid"); // string: device identifier
inline const QString frequency = QStringLiteral("frequency"); // int: frequency position 0-5
inline const QString locationunits = QStringLiteral("locationunits"); // int: 1 = deg/min/sec
inline const QString speed = QStringLiteral("speed"); // int: 0 MPH, 1 KPH, 2 m/sec
inline const QString sendspeed = QStringLiteral("sendspeed"); // bool: reports carry speed
inline const QString sendauto = QStringLiteral("sendauto"); // bool: start switched on
inline const QString hue = QStringLiteral("hue"); // float: picker hue
inline const QString sat = QStringLiteral("sat"); // float: picker saturation
inline const QString bright = QStringLiteral("bright"); // float: picker brightness
inline const QString bg = QStringLiteral("bg"); // string: theme RRGGBB

} // namespace PreferenceKeys
