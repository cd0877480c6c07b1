// PositionReport: the tracking screen's report of a position, and what the server's reply to
// it does to the run.
#pragma once

#include "TrackingRun.h"

#include "shared/ReportReply.h"
#include "shared/TrackingServer.h"

#include <QDateTime>

namespace PositionReport {

// The report of the run's position at `now`, with the run's next id; `speed` is the speed
// text, or "." when speeds are not sent.
[[nodiscard]] TrackingServer::PositionReport next(TrackingRun &run, const QDateTime &now,
    const QString &user, const QString &device, const QString &version, const QString &speed);

// What a reply asks of the screen beyond its status text.
struct Reaction
{
    bool failed = false; // shown white on red
    bool switchOff = false; // the server refused the device or stopped it
    bool disable = false; // stopped: no more reports this run, neither automatic nor manual
    bool alert = false; // the message goes to an alert as well
};
// Counts the reply in the run and says what it asks of the screen.
[[nodiscard]] Reaction handleReply(TrackingRun &run, const ReportReply &reply);

// "N Sends : N OK : N Failed : N Pending : N Stored".
[[nodiscard]] QString statusLine(const TrackingRun &run);

} // namespace PositionReport
