// Location: one position as the location service delivers it.
#pragma once

#include <QDateTime>

struct Location
{
    double latitude = 0.0; // degrees, positive north
    double longitude = 0.0; // degrees, positive east
    double horizontalAccuracy = -1.0; // metres; negative when unknown
    double speed = -1.0; // metres per second; -1 when unknown
    QDateTime timestamp;
};
