// NotificationCenter: process-wide publish and subscribe by name, delivered synchronously.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <deque>
#include <functional>
#include <map>

struct Notification
{
    QString name;
    QVariant object; // invalid when the poster sent none
};

class NotificationCenter
{
public:
    using Handler = std::function<void(const Notification &)>;

    static NotificationCenter &defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    // Observers hear the name from any sender and stay registered for the life of the centre.
    void addObserver(const QString &name, Handler handler);
    // The same, for an observer that belongs to an object: once the object is gone, the
    // observer stays registered but is no longer called.
    void addObserver(const QString &name, const QObject *owner, Handler handler);

    // Calls every observer of the name, in the order they registered, before returning.
    void postNotificationName(const QString &name, const QVariant &object = {});

    [[nodiscard]] int observerCount(const QString &name) const;

private:
    // std::map and std::deque keep existing handlers in place while a handler registers more.
    std::map<QString, std::deque<Handler>> m_observers;
};
