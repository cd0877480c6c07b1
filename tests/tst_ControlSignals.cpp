// Our controls signal as Qt's do: the value's notify signal follows every change, the program's
// too, while the signal that screens take as the user's action stays silent.
#include "TestEnvironment.h"

#include "platform/widgets/PageControl.h"
#include "platform/widgets/SegmentedControl.h"
#include "platform/widgets/Slider.h"
#include "platform/widgets/Switch.h"

#include <QApplication>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

using MakeControl = std::function<QWidget *()>;

class TestControlSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void programChangesSignalTheValueOnly_data()
    {
        QTest::addColumn<MakeControl>("make");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("userSignal");
        const MakeControl slider = [] {
            auto *control = new Slider;
            control->setMaximumValue(5.0f);
            return control;
        };
        const MakeControl segments = [] {
            auto *control = new SegmentedControl;
            control->setTitles({ "MPH", "KPH", "m/sec" });
            return control;
        };
        const MakeControl pages = [] {
            auto *control = new PageControl;
            control->setNumberOfPages(5);
            return control;
        };
        QTest::newRow("switch") << MakeControl([] { return new Switch; }) << QByteArray("checked")
                                << QVariant(true) << QByteArray("clicked(bool)");
        QTest::newRow("slider") << slider << QByteArray("value") << QVariant(2.5f)
                                << QByteArray("sliderMoved(float)");
        QTest::newRow("segmented control") << segments << QByteArray("selectedSegmentIndex")
                                           << QVariant(2) << QByteArray("activated(int)");
        QTest::newRow("page control")
            << pages << QByteArray("currentPage") << QVariant(3) << QByteArray("activated(int)");
    }
    void programChangesSignalTheValueOnly()
    {
        QFETCH(MakeControl, make);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, userSignal);
        const std::unique_ptr<QWidget> control(make());
        const QMetaObject *meta = control->metaObject();
        const QMetaProperty valueProperty
            = meta->property(meta->indexOfProperty(property.constData()));
        QVERIFY(valueProperty.hasNotifySignal());
        const int userSignalIndex = meta->indexOfSignal(userSignal.constData());
        QVERIFY(userSignalIndex >= 0);
        QSignalSpy changes(control.get(), valueProperty.notifySignal());
        QSignalSpy actions(control.get(), meta->method(userSignalIndex));

        QVERIFY(valueProperty.write(control.get(), value));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().first(), value);
        QVERIFY(valueProperty.write(control.get(), value)); // no change: nothing to tell
        QCOMPARE(changes.size(), 1);
        QCOMPARE(actions.size(), 0);
    }
};

PEREGRIX_TEST_MAIN(TestControlSignals)
#include "tst_ControlSignals.moc"
