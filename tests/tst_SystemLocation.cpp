// The default position source, the system's location service, against a real GeoClue 2 that
// run-with-geoclue.sh starts on a bus of its own: positions reach the tracking screen.
#include "TestEnvironment.h"

#include "tracking/MainViewController.h"

#include "platform/LocationManager.h"

#include <QApplication>
#include <QtTest>

class TestSystemLocation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainViewController> screen;

    MainViewController &open()
    {
        MainViewController::resetRunState();
        screen = std::make_unique<MainViewController>();
        screen->view();
        screen->findChild<QTimer *>(QStringLiteral("handleTimer"))->stop();
        return *screen;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"))
            QSKIP("run by run-with-geoclue.sh, which starts GeoClue on a bus of its own");
        // Qt Positioning hides its system plugins from QtTest programs, which it recognises by
        // this variable: here the system plugin is the point.
        qunsetenv("QT_QTESTLIB_RUNNING");
        // GeoClue knows applications by the names the program gives itself at start.
        QCoreApplication::setApplicationName(QStringLiteral("Peregrix"));
        QGuiApplication::setDesktopFileName(QStringLiteral("example.peregrix.Peregrix"));
        LocationManager::setSourceOption(QStringLiteral("system"));
    }

    void cleanup() { screen.reset(); }

    // GeoClue reads 51.5 N, 0.1275 W from its NMEA socket.
    void positionsArriveOnTheTrackingScreen()
    {
        MainViewController &s = open();
        QTRY_COMPARE_WITH_TIMEOUT(s.ui.labLat->text(), QStringLiteral("51.500000"), 30000);
        QCOMPARE(s.ui.labLong->text(), QStringLiteral("-0.127500"));
        QVERIFY(s.ui.swOnOff->isEnabled());
        QVERIFY(MainViewController::locationManager()->locationServicesEnabled());
    }
};

PEREGRIX_TEST_MAIN(TestSystemLocation)
#include "tst_SystemLocation.moc"
