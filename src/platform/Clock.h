// Clock: the current time, which tests can fix.
#pragma once

#include <QDateTime>

namespace Clock {

[[nodiscard]] QDateTime now();
// The same moment in UTC. Reading the system clock this way takes no time-zone lookup (a local
// time costs one, a check of /etc/localtime, for every reading and every sum), so sums and
// comparisons of moments use it and only what is shown turns local.
[[nodiscard]] QDateTime nowUtc();
// The moment as the local wall clock shows it, for display. The zone's offset is looked up once
// for each minute of the moments asked about, rather than once for each moment: a move to or
// from summer time, which falls on a whole minute, shows exactly, and a change of the system's
// zone shows from the next minute on.
[[nodiscard]] QDateTime toLocal(const QDateTime &moment);

// Tests only: now() answers this time until resetTime(); advance() moves it on.
void setTime(const QDateTime &fixed);
void advance(qint64 milliseconds);
void resetTime();

} // namespace Clock
