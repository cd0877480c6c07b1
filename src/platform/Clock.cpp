// Clock: the current time, which tests can fix.
#include "Clock.h"

#include <optional>

namespace {
std::optional<QDateTime> fixedTime;
}

QDateTime Clock::now()
{
    return fixedTime ? *fixedTime : QDateTime::currentDateTime();
}

QDateTime Clock::nowUtc()
{
    return fixedTime ? fixedTime->toUTC() : QDateTime::currentDateTimeUtc();
}

void Clock::setTime(const QDateTime &fixed)
{
    fixedTime = fixed;
}

void Clock::advance(qint64 milliseconds)
{
    fixedTime = now().addMSecs(milliseconds);
}

void Clock::resetTime()
{
    fixedTime.reset();
}
