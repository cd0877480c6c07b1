// SendScheduler: the tracking screen's once-a-second decision.
#include "SendScheduler.h"

#include "platform/Clock.h"

namespace {

// "10:15:30 (every 15 secs)", "asap (every 2 mins)" and so on.
QString nextSendText(const TrackingRun &run, const QDateTime &nextSend)
{
    const QString at
        = run.bFirstSendDone ? SendScheduler::clockText(nextSend) : QStringLiteral("asap");
    const bool inMinutes = run.iSavedFequency > 59;
    const qint32 count = inMinutes ? run.iSavedFequency / 60 : run.iSavedFequency;
    const QString unit = !inMinutes ? QStringLiteral("secs")
        : count == 1                ? QStringLiteral("min")
                                    : QStringLiteral("mins");
    return QStringLiteral("%1 (every %2 %3)").arg(at).arg(count).arg(unit);
}

} // namespace

qint32 SendScheduler::frequencySeconds(FrequencyPosition position)
{
    switch (position) {
    case FrequencyPosition::Every15s:
        return 15;
    case FrequencyPosition::Every30s:
        return 30;
    case FrequencyPosition::Every1m:
        return 60;
    case FrequencyPosition::Every2m:
        return 120;
    case FrequencyPosition::Every5m:
        return 300;
    case FrequencyPosition::Every10m:
        return 600;
    }
    return 0;
}

QString SendScheduler::fillString(TrackingRun &run)
{
    run.iFillCount += run.iInc;
    if (run.iFillCount > 4)
        run.iInc = -1;
    if (run.iFillCount <= 0)
        run.iInc = 1;
    return run.iFillCount > 0 ? QString(run.iFillCount, QLatin1Char('.')) : QStringLiteral("");
}

SendScheduler::Tick SendScheduler::handleTimer(TrackingRun &run, bool switchedOn, bool validated,
    qint32 frequency, const QDateTime &lastSend, const QDateTime &now)
{
    Tick tick;
    if (!switchedOn || run.iSavedFequency <= 0) {
        tick.message = (run.iSavedFequency == 0 ? QStringLiteral("Update frequency is not set! ")
                                                : QStringLiteral("Updates are turned off. "))
            + fillString(run);
        // A frequency that could not be read stays unread until the switch is on and a valid
        // frequency is read; read it again so that a corrected setting is taken up.
        if (run.iSavedFequency <= 0)
            run.iSavedFequency = frequency;
        return tick;
    }
    run.iSavedFequency = frequency;
    const QDateTime nextSend = run.bFirstSendDone ? lastSend.addSecs(run.iSavedFequency) : lastSend;
    tick.nextSend = nextSendText(run, nextSend);
    if (!validated)
        tick.message = QStringLiteral("User Name has not been validated. ") + fillString(run);
    else if (!run.bGPSValid)
        tick.message = QStringLiteral("No GPS data. ") + fillString(run);
    else
        tick.sendNow = nextSend.msecsTo(now) > 0 || !run.bFirstSendDone;
    return tick;
}

QString SendScheduler::clockText(const QDateTime &time)
{
    // Formatted by hand: the clock is shown every second, and both a locale's format and
    // printf's are costly.
    const QTime local = Clock::toLocal(time).time();
    if (!local.isValid())
        return {};
    char16_t text[] = u"00:00:00";
    const auto put = [&text](int at, int value) {
        text[at] = char16_t(u'0' + value / 10);
        text[at + 1] = char16_t(u'0' + value % 10);
    };
    put(0, local.hour());
    put(3, local.minute());
    put(6, local.second());
    return QString::fromUtf16(text, 8);
}
