// Synchronous, ordered delivery of notifications, also while observers are being added.
#include "TestEnvironment.h"

#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QtTest>

class TestNotificationCenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultCenterIsOneObject()
    {
        QCOMPARE(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    }

    void deliversInRegistrationOrderBeforeThePostReturns()
    {
        NotificationCenter center;
        QStringList heard;
        center.addObserver("A", [&](const Notification &n) { heard << "1:" + n.name; });
        center.addObserver("B", [&](const Notification &) { heard << "other"; });
        center.addObserver(
            "A", [&](const Notification &n) { heard << "2:" + n.object.toString(); });
        center.postNotificationName("A", QStringLiteral("text"));
        QCOMPARE(heard, (QStringList { "1:A", "2:text" }));
        heard.clear();
        center.postNotificationName("A");
        QCOMPARE(heard, (QStringList { "1:A", "2:" }));
    }

    void objectIsPassedUnchangedOrAbsent()
    {
        NotificationCenter center;
        QVariant seen = 1;
        center.addObserver("X", [&](const Notification &n) { seen = n.object; });
        center.postNotificationName("X");
        QVERIFY(!seen.isValid());
        center.postNotificationName("X", QStringLiteral("OK12\n"));
        QCOMPARE(seen.toString(), QStringLiteral("OK12\n"));
    }

    void postWithoutObserversDoesNothing()
    {
        NotificationCenter center;
        center.postNotificationName("nobody");
        QCOMPARE(center.observerCount("nobody"), 0);
    }

    void observerAddedDuringAPostHearsTheNextPost()
    {
        NotificationCenter center;
        int first = 0, late = 0, others = 0;
        center.addObserver("A", [&](const Notification &) {
            if (++first == 1) {
                // Registering many observers at once forces the containers to grow.
                for (int i = 0; i < 100; ++i)
                    center.addObserver("A", [&](const Notification &) { ++late; });
                center.addObserver("Z", [&](const Notification &) { ++others; });
            }
        });
        center.addObserver("A", [&](const Notification &) { ++others; });
        center.postNotificationName("A");
        QCOMPARE(first, 1);
        QCOMPARE(others, 1);
        QCOMPARE(late, 0);
        center.postNotificationName("A");
        QCOMPARE(late, 100);
        QCOMPARE(others, 2);
    }

    void observerOfAnObjectGoesQuietWithIt()
    {
        NotificationCenter center;
        int heard = 0;
        auto owner = std::make_unique<QObject>();
        center.addObserver("A", owner.get(), [&](const Notification &) { ++heard; });
        center.postNotificationName("A");
        owner.reset();
        center.postNotificationName("A");
        QCOMPARE(heard, 1);
    }

    void handlerMayPostAgain()
    {
        NotificationCenter center;
        QStringList order;
        center.addObserver("outer", [&](const Notification &) {
            order << "outer";
            center.postNotificationName("inner");
            order << "outer done";
        });
        center.addObserver("inner", [&](const Notification &) { order << "inner"; });
        center.postNotificationName("outer");
        QCOMPARE(order, (QStringList { "outer", "inner", "outer done" }));
    }
};

PEREGRIX_TEST_MAIN(TestNotificationCenter)
#include "tst_NotificationCenter.moc"
