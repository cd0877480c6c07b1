// TrackingRun: what the tracking screen keeps for the whole run of the program, in one place,
// so that a new run is one assignment.
#pragma once

#include "shared/PreferenceValues.h"

#include <QtGlobal>

struct TrackingRun
{
    // Position intake
    double dLat = 0.0;
    double dLong = 0.0;
    qint32 iAcc = 0;
    bool bGPSValid = false;
    LocationUnits iLocationUnits = LocationUnits::DecimalDegrees;

    // Scheduler
    bool bFirstSendDone = false;
    bool IsInBackground = false;
    qint32 iSavedFequency = 0; // seconds between reports; 0 when the setting is not usable
    qint32 iFillCount = 0; // the dots after a waiting message
    qint32 iInc = 1;

    // Position reports of this run
    qint32 iUpdatesSent = 0;
    qint32 iUpdatesOK = 0;
    qint32 iUpdatesFailed = 0;
    qint32 iStored = 0;
    qint32 Id = 0;
};
