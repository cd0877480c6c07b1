// SendScheduler: the tracking screen's once-a-second decision: what the message line says,
// when the next report goes, and whether one is due now.
#pragma once

#include "TrackingRun.h"

#include "shared/PreferenceValues.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace SendScheduler {

struct Tick
{
    QString message = QStringLiteral("");
    std::optional<QString> nextSend; // the next-send line, when the tick sets it
    bool sendNow = false;
};

// The update frequency in seconds at a frequency position; 0 for a value that names none.
[[nodiscard]] qint32 frequencySeconds(FrequencyPosition position);

// The growing and shrinking dots after a waiting message: one more each call up to five, then
// one fewer down to none.
[[nodiscard]] QString fillString(TrackingRun &run);

// One tick, `frequency` being the frequency as set now (frequencySeconds()) and `lastSend` the
// time of the last report, in UTC.
[[nodiscard]] Tick handleTimer(TrackingRun &run, bool switchedOn, bool validated, qint32 frequency,
    const QDateTime &lastSend, const QDateTime &now);

// The time of day as the screen shows it, in local time.
[[nodiscard]] QString clockText(const QDateTime &time);

} // namespace SendScheduler
