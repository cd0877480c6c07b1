// Clock: the current time, which tests can fix.
#pragma once

#include <QDateTime>

namespace Clock {

[[nodiscard]] QDateTime now();
// The same moment in UTC. Reading the system clock this way takes no time-zone lookup (a local
// time costs one, a check of /etc/localtime, for every reading and every sum), so sums and
// comparisons of moments use it and only what is shown turns local.
[[nodiscard]] QDateTime nowUtc();

// Tests only: now() answers this time until resetTime(); advance() moves it on.
void setTime(const QDateTime &fixed);
void advance(qint64 milliseconds);
void resetTime();

} // namespace Clock
