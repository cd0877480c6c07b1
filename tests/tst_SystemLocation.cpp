// The default position source, the system's location service, against a real GeoClue 2 that
// run-with-geoclue.sh starts on a bus of its own: positions reach the tracking screen, and when
// the user's agent refuses Peregrix, the screen says that location services are disabled.
#include "TestEnvironment.h"
#include "TrackingScreen.h"

#include "platform/LocationManager.h"

#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusPendingCall>
#include <QtTest>

namespace {

// The user's agent, as a desktop runs one, with the user's location switch off: GeoClue reads
// the agent's highest accuracy, none, and refuses every application.
class RefusingAgent : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.GeoClue2.Agent")
    Q_PROPERTY(uint MaxAccuracyLevel READ maxAccuracyLevel)
public:
    explicit RefusingAgent(QObject *owner)
        : QDBusAbstractAdaptor(owner)
    { }
    [[nodiscard]] uint maxAccuracyLevel() const { return 0; } // none

public Q_SLOTS:
    bool AuthorizeApp(const QString &, uint, uint &allowedAccuracyLevel)
    {
        allowedAccuracyLevel = 0;
        return false;
    }
};

} // namespace

class TestSystemLocation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TrackingScreen> screen;

    TrackingScreen &open()
    {
        screen = std::make_unique<TrackingScreen>(TrackingScreen::SourceRuns);
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
        // GeoClue knows applications by the names the program gives itself at start; the
        // application name is set for every test.
        QGuiApplication::setDesktopFileName(QStringLiteral("example.peregrix.Peregrix"));
        LocationManager::setSourceOption(QStringLiteral("system"));
    }

    void cleanup() { screen.reset(); }

    // GeoClue reads 51.5 N, 0.1275 W from its NMEA socket.
    void positionsArriveOnTheTrackingScreen()
    {
        TrackingScreen &s = open();
        QTRY_COMPARE_WITH_TIMEOUT(s.ui.labLat->text(), QStringLiteral("51.500000"), 30000);
        QCOMPARE(s.ui.labLong->text(), QStringLiteral("-0.127500"));
        QVERIFY(s.ui.swOnOff->isEnabled());
        QVERIFY(MainViewController::locationManager()->locationServicesEnabled());
    }

    // Run with --own-agent, so that this agent is the only one.
    void refusalDisablesLocationServices()
    {
        QObject owner;
        new RefusingAgent(&owner);
        QDBusConnection bus = QDBusConnection::systemBus();
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/GeoClue2/Agent"), &owner));
        QDBusInterface manager(QStringLiteral("org.freedesktop.GeoClue2"),
            QStringLiteral("/org/freedesktop/GeoClue2/Manager"),
            QStringLiteral("org.freedesktop.GeoClue2.Manager"), bus);
        // GeoClue reads the agent's properties before it answers: the event loop must run.
        QDBusPendingCall added
            = manager.asyncCall(QStringLiteral("AddAgent"), QStringLiteral("peregrix-test-agent"));
        QTRY_VERIFY_WITH_TIMEOUT(added.isFinished(), 10000);
        QVERIFY2(!added.isError(), qPrintable(added.error().message()));
        TrackingScreen &s = open();
        QTRY_COMPARE_WITH_TIMEOUT(
            s.ui.labMessage->text(), QStringLiteral("Location Services are disabled"), 30000);
        QVERIFY(!s.ui.swOnOff->isEnabled());
        QVERIFY(!s.ui.swOnOff->isOn());
        QVERIFY(s.ui.labLat->text() != QLatin1String("51.500000"));
    }
};

PEREGRIX_TEST_MAIN(TestSystemLocation)
#include "tst_SystemLocation.moc"
