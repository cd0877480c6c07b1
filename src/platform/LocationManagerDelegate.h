// LocationManagerDelegate: what the location service reports, on the main thread.
#pragma once

#include "Location.h"

#include <QString>

class LocationManager;

class LocationManagerDelegate
{
public:
    virtual ~LocationManagerDelegate() = default;

    virtual void locationManagerDidUpdateToLocation(
        LocationManager *manager, const Location &newLocation, const Location &oldLocation)
        = 0;
    virtual void locationManagerDidFailWithError(LocationManager *manager, const QString &error)
        = 0;
};
