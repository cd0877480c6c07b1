// NewDeviceLimit: new devices per address and minute.
#include "NewDeviceLimit.h"

#include <QMutexLocker>

namespace {

constexpr auto window = std::chrono::minutes(1);

// Windows are swept once this many addresses have one, so that the table stays as small as
// the number of addresses seen within a minute.
constexpr qsizetype sweepAbove = 1024;

} // namespace

NewDeviceLimit::NewDeviceLimit(int perMinute)
    : m_perMinute(perMinute)
{ }

QByteArray NewDeviceLimit::network(const QHostAddress &address)
{
    bool isIPv4 = false;
    const quint32 v4 = address.toIPv4Address(&isIPv4);
    if (isIPv4)
        return QByteArray::number(v4);
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(v6.c), 8);
}

bool NewDeviceLimit::admit(const QHostAddress &from, Clock::time_point now)
{
    if (m_perMinute <= 0)
        return true;
    const QMutexLocker lock(&m_mutex);
    if (m_windows.size() > sweepAbove)
        forgetOldWindows(now);
    Window &w = m_windows[network(from)];
    if (w.count == 0 || now - w.start >= window)
        w = { now, 0 };
    if (w.count >= m_perMinute)
        return false;
    ++w.count;
    return true;
}

void NewDeviceLimit::forgetOldWindows(Clock::time_point now)
{
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (now - it->start >= window)
            it = m_windows.erase(it);
        else
            ++it;
    }
}
