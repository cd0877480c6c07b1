// useDemoTrack: the location service replays the demo's NMEA track, as the demo runs the
// program. For tests built with the DEMO_TRACK keyword.
#pragma once

#include "platform/LocationManager.h"

inline void useDemoTrack()
{
    LocationManager::setSourceOption(QStringLiteral("nmea:" DEMO_TRACK));
}
