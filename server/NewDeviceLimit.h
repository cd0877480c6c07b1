// NewDeviceLimit: how many devices new to the server one network address may bring in a minute.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QMutex>

#include <chrono>

// A device becomes known by validating a name or by reporting under the test name, and either
// costs the server a row for good; without a limit, anyone could fill the database (and the
// page) with made-up devices. The address is the connection's own peer address: a header
// could say anything. An IPv6 address counts by its /64 network, which one client usually
// holds whole. Used from the serving thread and the report writer's, hence the lock.
class NewDeviceLimit
{
public:
    using Clock = std::chrono::steady_clock;

    // perMinute 0: no limit.
    explicit NewDeviceLimit(int perMinute);

    // Whether one more new device from this address may be taken now; it is counted if so.
    [[nodiscard]] bool admit(const QHostAddress &from, Clock::time_point now = Clock::now());

private:
    struct Window
    {
        Clock::time_point start;
        int count = 0;
    };

    [[nodiscard]] static QByteArray network(const QHostAddress &address);
    void forgetOldWindows(Clock::time_point now);

    const int m_perMinute;
    QMutex m_mutex;
    QHash<QByteArray, Window> m_windows;
};
