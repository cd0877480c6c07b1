// The program's preferences store as the tests write it, clear it and read it back.
#pragma once

#include "shared/PreferenceKeys.h"

#include "platform/UserDefaults.h"

#include <QStringList>

inline UserDefaults &prefs()
{
    return UserDefaults::standardUserDefaults();
}

// Removes the keys and writes the store, so that the next run finds them gone as well.
[[nodiscard]] inline bool clearPreferences(const QStringList &keys)
{
    for (const QString &key : keys)
        prefs().removeObjectForKey(key);
    return prefs().synchronize();
}

// What a tracking screen reads as it opens to decide whether it reports: a validated user name,
// and updates switched on from the start.
inline void setReporting(bool validated = true, bool switchedOn = true)
{
    prefs().setBool(validated, PreferenceKeys::validated);
    prefs().setBool(switchedOn, PreferenceKeys::sendauto);
}

// The store as the next run of the program reads it from disk.
inline UserDefaults preferencesOnDisk()
{
    return UserDefaults(UserDefaults::defaultPath());
}
