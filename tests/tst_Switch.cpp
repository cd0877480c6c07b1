// The on/off switch: only the user's flips are actions; the program sets it silently.
#include "TestEnvironment.h"

#include "platform/widgets/Switch.h"

#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

class TestSwitch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void userFlipsAreActions()
    {
        Switch sw;
        sw.show();
        QSignalSpy actions(&sw, &Switch::clicked);
        QVERIFY(!sw.isOn());
        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(sw.isOn());
        QCOMPARE(actions.size(), 1);
        sw.setFocus();
        QTest::keyClick(&sw, Qt::Key_Space);
        QVERIFY(!sw.isOn());
        QCOMPARE(actions.size(), 2);
    }

    void programChangesAreSilent()
    {
        Switch sw;
        QSignalSpy actions(&sw, &Switch::clicked);
        sw.setOn(true);
        QVERIFY(sw.isOn());
        sw.setOn(true, true);
        sw.setOn(false, true);
        QVERIFY(!sw.isOn());
        QCOMPARE(actions.size(), 0);
    }

    void disabledSwitchIgnoresTheUserButKeepsItsState()
    {
        Switch sw;
        sw.show();
        sw.setOn(true);
        sw.setEnabled(false);
        QSignalSpy actions(&sw, &Switch::clicked);
        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(sw.isOn());
        QCOMPARE(actions.size(), 0);
    }

    void drawsOnAndOffDifferently()
    {
        Switch sw;
        sw.resize(sw.sizeHint());
        const QImage off = sw.grab().toImage();
        sw.setOn(true);
        const QImage on = sw.grab().toImage();
        QVERIFY(off != on);
        // The track is green on the left side once on, grey when off.
        const QColor left = on.pixelColor(6, on.height() / 2);
        QVERIFY2(left.green() > left.red() + 60, qPrintable(left.name()));
    }
};

PEREGRIX_TEST_MAIN(TestSwitch)
#include "tst_Switch.moc"
