// NotificationCenter: process-wide publish and subscribe by name, delivered synchronously.
#include "NotificationCenter.h"

#include <QPointer>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const QString &name, Handler handler)
{
    m_observers[name].push_back(std::move(handler));
}

void NotificationCenter::addObserver(const QString &name, const QObject *owner, Handler handler)
{
    addObserver(name,
        [guard = QPointer<const QObject>(owner), h = std::move(handler)](const Notification &n) {
            if (guard)
                h(n);
        });
}

void NotificationCenter::postNotificationName(const QString &name, const QVariant &object)
{
    const auto found = m_observers.find(name);
    if (found == m_observers.end())
        return;
    const Notification notification { name, object };
    // Observers added by a handler during this post hear the next post, not this one.
    const std::deque<Handler> &handlers = found->second;
    const std::size_t count = handlers.size();
    for (std::size_t i = 0; i < count; ++i)
        handlers[i](notification);
}

int NotificationCenter::observerCount(const QString &name) const
{
    const auto found = m_observers.find(name);
    return found == m_observers.end() ? 0 : int(found->second.size());
}
