// Device: facts about the device the program runs on.
#pragma once

#include <QString>

namespace Device {

// A stable 40-hex-digit identifier for this device and program. It is derived from the
// system's machine id by a keyed hash, so the machine id itself never leaves the device.
[[nodiscard]] QString uniqueIdentifier();

// Whether the device answers the multitasking query; a Linux desktop or phone always does.
[[nodiscard]] bool respondsToIsMultitaskingSupported();

// The derivation itself, on given files: the machine id file, and the file in which a random
// id is kept when there is no machine id.
[[nodiscard]] QString identifierFrom(const QString &machineIdFile, const QString &fallbackFile);

} // namespace Device
