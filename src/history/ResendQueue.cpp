// ResendQueue: the entries that presses of "Send Missing" have yet to send, handed out a few at
// a time.
#include "ResendQueue.h"

#include "PositionHistory.h"

void ResendQueue::add(const PositionHistory &history)
{
    for (qsizetype entry = 0; entry < history.size(); ++entry) {
        if (!history.isAcknowledged(entry))
            m_waiting.push_back(entry);
    }
}

std::optional<qsizetype> ResendQueue::next(qsizetype inFlight)
{
    if (inFlight >= window || m_waiting.empty())
        return std::nullopt;
    const qsizetype entry = m_waiting.front();
    m_waiting.pop_front();
    return entry;
}
