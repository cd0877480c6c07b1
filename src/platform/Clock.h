// Clock: the current time, which tests can fix.
#pragma once

#include <QDateTime>

namespace Clock {

[[nodiscard]] QDateTime now();

// Tests only: now() answers this time until resetTime(); advance() moves it on.
void setTime(const QDateTime &fixed);
void advance(qint64 milliseconds);
void resetTime();

} // namespace Clock
