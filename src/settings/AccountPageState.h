// AccountPageState: what the account page keeps for the whole run of the program, in one
// place, so that starting afresh is one assignment.
#pragma once

#include "shared/PreferenceValues.h"

struct AccountPageState
{
    bool bUserChanged = false; // the name field differs from the stored name
    bool validated = false; // as stored when the page last loaded its values
    FrequencyPosition iFreqSliderPos = FrequencyPosition::Every15s;
    bool bFreqChanged = false; // the slider differs from the stored frequency
};
