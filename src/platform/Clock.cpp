// Clock: the current time, which tests can fix.
#include "Clock.h"

#include <array>
#include <optional>

namespace {

std::optional<QDateTime> fixedTime;

// The offsets of the last two minutes asked about: the clock and the next report's time are
// usually a minute apart, and each would otherwise push the other out.
struct MinuteOffset
{
    qint64 minute = 0;
    int seconds = 0;
};
thread_local std::array<std::optional<MinuteOffset>, 2> recentOffsets;

} // namespace

QDateTime Clock::now()
{
    return fixedTime ? *fixedTime : QDateTime::currentDateTime();
}

QDateTime Clock::nowUtc()
{
    return fixedTime ? fixedTime->toUTC() : QDateTime::currentDateTimeUtc();
}

QDateTime Clock::toLocal(const QDateTime &moment)
{
    const qint64 msecs = moment.toMSecsSinceEpoch();
    const qint64 minute = msecs / 60'000 - (msecs % 60'000 < 0 ? 1 : 0);
    for (const std::optional<MinuteOffset> &known : recentOffsets) {
        if (known && known->minute == minute)
            return moment.toOffsetFromUtc(known->seconds);
    }
    const int seconds = moment.toLocalTime().offsetFromUtc();
    recentOffsets[1] = recentOffsets[0];
    recentOffsets[0] = MinuteOffset { minute, seconds };
    return moment.toOffsetFromUtc(seconds);
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
