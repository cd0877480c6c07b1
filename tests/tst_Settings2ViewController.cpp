// The sending and display options, driven through their controls: what each one stores and
// announces, and how a tracking screen that is already running takes the changes up.
#include "DemoTrack.h"
#include "Outlet.h"
#include "Preferences.h"
#include "Screenshot.h"
#include "TestEnvironment.h"
#include "TrackingScreen.h"
#include "UserDefaultsTool.h"

#include "settings/Settings2ViewController.h"

#include "shared/NotificationNames.h"
#include "shared/PreferenceKeys.h"
#include "shared/ThemeColour.h"

#include "platform/NotificationCenter.h"
#include "platform/widgets/SegmentedControl.h"

#include <QApplication>
#include <QtTest>

namespace {

const QStringList allKeys { PreferenceKeys::locationunits, PreferenceKeys::speed,
    PreferenceKeys::sendspeed, PreferenceKeys::sendauto };

// The value as another process finds it in the file: "<null>" for a key never written.
QString onDisk(const QString &type, const QString &key)
{
    return userDefaultsTool({ UserDefaults::defaultPath(), QStringLiteral("read"), type, key });
}

void tap(QWidget *control, int segment = -1)
{
    auto *segmented = qobject_cast<SegmentedControl *>(control);
    QTest::mouseClick(control, Qt::LeftButton, {},
        segmented ? segmented->segmentRect(segment).center() : QPoint());
}

} // namespace

class TestSettings2ViewController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Settings2ViewController> page;
    std::unique_ptr<TrackingScreen> tracking;
    QStringList heard; // each notice with the value another process read from disk meanwhile

    Settings2ViewController &open()
    {
        page = std::make_unique<Settings2ViewController>();
        page->view();
        return *page;
    }
    template<class Control = QWidget> Control *controlNamed(const QString &name)
    {
        return outlet<Control>(page->view(), qPrintable(name));
    }
    TrackingScreen &openTracking()
    {
        tracking = std::make_unique<TrackingScreen>();
        return *tracking;
    }

private Q_SLOTS:
    void initTestCase()
    {
        useDemoTrack();
        NotificationCenter &center = NotificationCenter::defaultCenter();
        center.addObserver(NotificationNames::SpeedSet, this, [this](const Notification &) {
            heard << QStringLiteral("SpeedSet:") + onDisk("int", PreferenceKeys::speed);
        });
        center.addObserver(NotificationNames::LocationUnitsSet, this, [this](const Notification &) {
            heard << QStringLiteral("LocationUnitsSet:")
                    + onDisk("int", PreferenceKeys::locationunits);
        });
    }

    void init() { QVERIFY(clearPreferences(allKeys + QStringList { PreferenceKeys::bg })); }

    void cleanup()
    {
        tracking.reset();
        page.reset();
        heard.clear();
    }

    void opensOnTheStoredChoicesWithoutActing_data()
    {
        QTest::addColumn<QList<int>>("stored"); // units, speed, send speed, start; -1 absent
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("first start") << QList { -1, -1, -1, -1 } << QList { 0, 0, 0, 0 };
        QTest::newRow("every choice made") << QList { 1, 2, 1, 1 } << QList { 1, 2, 1, 1 };
        QTest::newRow("unknown speed unit selects none")
            << QList { 0, 7, 0, 0 } << QList { 0, -1, 0, 0 };
    }
    void opensOnTheStoredChoicesWithoutActing()
    {
        QFETCH(QList<int>, stored);
        QFETCH(QList<int>, shown);
        for (int i : { 0, 1 }) {
            if (stored[i] >= 0)
                prefs().setInteger(stored[i], allKeys[i]);
        }
        for (int i : { 2, 3 }) {
            if (stored[i] >= 0)
                prefs().setBool(stored[i] != 0, allKeys[i]);
        }
        QVERIFY(prefs().synchronize());
        open();
        auto *units = controlNamed<SegmentedControl>("segLocationUnits");
        auto *speed = controlNamed<SegmentedControl>("segSpeed");
        QCOMPARE(units->selectedSegmentIndex(), shown[0]);
        QCOMPARE(speed->selectedSegmentIndex(), shown[1]);
        QCOMPARE(int(controlNamed<Switch>("swSendSpeed")->isOn()), shown[2]);
        QCOMPARE(int(controlNamed<Switch>("swSendAuto")->isOn()), shown[3]);
        QCOMPARE(units->numberOfSegments(), 2);
        QCOMPARE(speed->titles(), (QStringList { "MPH", "KPH", "m/sec" }));
        QVERIFY(heard.isEmpty());
        for (int i = 0; i < allKeys.size(); ++i) {
            if (stored[i] < 0)
                QCOMPARE(onDisk("string", allKeys[i]), QStringLiteral("<null>"));
        }
    }

    void eachControlStoresAtOnce_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("segment");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("notices");
        QTest::addColumn<int>("keyPress"); // 0: a tap
        const QString units = PreferenceKeys::locationunits, speed = PreferenceKeys::speed;
        QTest::newRow("deg min sec") << "segLocationUnits" << 1 << 0 << "int" << units << "1"
                                     << QStringList { "LocationUnitsSet:1" } << 0;
        QTest::newRow("back to decimal") << "segLocationUnits" << 0 << 1 << "int" << units << "0"
                                         << QStringList { "LocationUnitsSet:0" } << 0;
        QTest::newRow("KPH") << "segSpeed" << 1 << 0 << "int" << speed << "1"
                             << QStringList { "SpeedSet:1" } << 0;
        QTest::newRow("m/sec") << "segSpeed" << 2 << 0 << "int" << speed << "2"
                               << QStringList { "SpeedSet:2" } << 0;
        QTest::newRow("back to MPH")
            << "segSpeed" << 0 << 2 << "int" << speed << "0" << QStringList { "SpeedSet:0" } << 0;
        QTest::newRow("same unit again")
            << "segSpeed" << 0 << 0 << "int" << speed << "0" << QStringList {} << 0;
        QTest::newRow("start on") << "swSendAuto" << -1 << 0 << "bool" << PreferenceKeys::sendauto
                                  << "true" << QStringList {} << 0;
        QTest::newRow("start off") << "swSendAuto" << -1 << 1 << "bool" << PreferenceKeys::sendauto
                                   << "false" << QStringList {} << 0;
        QTest::newRow("send speed on")
            << "swSendSpeed" << -1 << 0 << "bool" << PreferenceKeys::sendspeed << "true"
            << QStringList {} << 0;
        QTest::newRow("send speed off")
            << "swSendSpeed" << -1 << 1 << "bool" << PreferenceKeys::sendspeed << "false"
            << QStringList {} << 0;
        // From the keyboard, as from the pointer.
        QTest::newRow("KPH by the Right key") << "segSpeed" << -1 << 0 << "int" << speed << "1"
                                              << QStringList { "SpeedSet:1" } << int(Qt::Key_Right);
        QTest::newRow("send speed by Space")
            << "swSendSpeed" << -1 << 0 << "bool" << PreferenceKeys::sendspeed << "true"
            << QStringList {} << int(Qt::Key_Space);
    }
    void eachControlStoresAtOnce()
    {
        QFETCH(QString, control);
        QFETCH(int, segment);
        QFETCH(int, before);
        QFETCH(QString, type);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QStringList, notices);
        QFETCH(int, keyPress);
        if (type == QLatin1String("int"))
            prefs().setInteger(before, key);
        else
            prefs().setBool(before != 0, key);
        QVERIFY(prefs().synchronize());
        open();
        if (keyPress)
            QTest::keyClick(controlNamed(control), Qt::Key(keyPress));
        else
            tap(controlNamed(control), segment);
        // Read by another process: on disk before the tap returns, and before any notice.
        QCOMPARE(onDisk(type, key), stored);
        QCOMPARE(heard, notices);
    }

    void trackingScreenUsesNewUnitsFromItsNextPosition_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("segment");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("KPH") << "segSpeed" << 1 << "labSpeed"
                             << "22 MPH"
                             << "36 KPH";
        QTest::newRow("m/sec") << "segSpeed" << 2 << "labSpeed"
                               << "22 MPH"
                               << "10.0 m/sec";
        QTest::newRow("deg min sec") << "segLocationUnits" << 1 << "labLat"
                                     << "51.500000"
                                     << "51\u2218 30' 0\"";
    }
    void trackingScreenUsesNewUnitsFromItsNextPosition()
    {
        QFETCH(QString, control);
        QFETCH(int, segment);
        QFETCH(QString, label);
        QFETCH(QString, before);
        QFETCH(QString, after);
        TrackingScreen &t = openTracking();
        auto *shown = outlet<QLabel>(t.view(), qPrintable(label));
        t.position(51.5, -0.1275, 5, 10);
        QCOMPARE(shown->text(), before);
        open();
        tap(controlNamed(control), segment);
        QCOMPARE(shown->text(), before);
        t.position(51.5, -0.1275, 5, 10);
        QCOMPARE(shown->text(), after);
    }

    void automaticStartWaitsForTheNextTrackingScreen()
    {
        TrackingScreen &running = openTracking();
        QVERIFY(!running.ui.swOnOff->isOn());
        open();
        auto *sendAuto = controlNamed<Switch>("swSendAuto");
        tap(sendAuto);
        QVERIFY(sendAuto->isOn());
        QVERIFY(!running.ui.swOnOff->isOn());
        QVERIFY(openTracking().ui.swOnOff->isOn());
    }

    void followsTheThemeAndWritesAScreenshot()
    {
        prefs().setString(QStringLiteral("5FA8D3"), PreferenceKeys::bg);
        Settings2ViewController &p = open();
        tap(controlNamed("segLocationUnits"), 1);
        tap(controlNamed("swSendSpeed"));
        tap(controlNamed("segSpeed"), 1);
        QWidget *view = p.view();
        view->resize(320, 400);
        const QImage shot = view->grab().toImage();
        QVERIFY(saveScreenshot(shot, QStringLiteral("settings2")));
        QCOMPARE(shot.pixelColor(2, 2), QColor(0x5F, 0xA8, 0xD3));
        prefs().setString(QStringLiteral("203040"), PreferenceKeys::bg);
        ThemeColour::post();
        QCOMPARE(ThemeColour::backgroundOf(view), QColor(0x20, 0x30, 0x40));
    }
};

PEREGRIX_TEST_MAIN(TestSettings2ViewController)
#include "tst_Settings2ViewController.moc"
