// ResendQueue: the entries that presses of "Send Missing" have yet to send, handed out a few at
// a time.
#pragma once

#include <QtGlobal>

#include <deque>
#include <optional>

class PositionHistory;

// A press queues every entry unacknowledged at that moment, once; a later acknowledgement does
// not take it out again, as each press sends all that was missing when it was made. Only a
// window of requests is in flight at once: starting a hundred thousand connections together
// costs more in bookkeeping than the exchanges themselves.
class ResendQueue
{
public:
    // Enough that each of the connections Qt keeps to a host has its next request waiting when
    // its reply comes in.
    static constexpr qsizetype window = 12;

    void add(const PositionHistory &history);
    void clear() { m_waiting.clear(); }
    [[nodiscard]] bool isEmpty() const { return m_waiting.empty(); }

    // The next entry to send while fewer than window requests are in flight.
    [[nodiscard]] std::optional<qsizetype> next(qsizetype inFlight);

private:
    std::deque<qsizetype> m_waiting;
};
