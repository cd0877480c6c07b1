// nmeaLine: an NMEA 0183 sentence as a receiver sends it: "$", the body, "*", the body's
// checksum in two upper-case hex digits, CR LF.
#pragma once

#include <QByteArray>

inline QByteArray nmeaLine(const QByteArray &body)
{
    quint8 sum = 0;
    for (const char c : body)
        sum ^= quint8(c);
    return '$' + body + '*' + QByteArray::number(sum, 16).toUpper().rightJustified(2, '0') + "\r\n";
}
