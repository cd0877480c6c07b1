// The tracking screen: what it shows of a position, when the scheduler reports, the report as
// it reaches a server on 127.0.0.1, and what each reply does.
#include "DemoTrack.h"
#include "GracePeriod.h"
#include "OpenAlerts.h"
#include "Preferences.h"
#include "Screenshot.h"
#include "ScriptedTrackingServer.h"
#include "TestEnvironment.h"
#include "TrackingScreen.h"

#include "shared/NotificationNames.h"
#include "shared/PreferenceKeys.h"

#include "platform/Clock.h"
#include "platform/Device.h"
#include "platform/LocationManager.h"
#include "platform/NotificationCenter.h"
#include "platform/Reachability.h"

#include <QApplication>
#include <QMessageBox>
#include <QtTest>

using Reply = ScriptedHttpServer::Reply;

namespace {

const QDateTime reportTime(QDate(2026, 3, 6), QTime(14, 5, 9));

} // namespace

class TestMainViewController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedTrackingServer> server;
    std::unique_ptr<TrackingScreen> screen;
    QStringList sent; // objects of "LocationSent"
    QStringList oks; // objects of "LocationOK"

    // A tracking screen as at launch, with these preferences.
    TrackingScreen &open(bool validated = true, bool switchOn = true)
    {
        setReporting(validated, switchOn);
        screen = std::make_unique<TrackingScreen>();
        return *screen;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A replay file that is never played: positions come from the tests.
        useDemoTrack();
        NotificationCenter::defaultCenter().addObserver(NotificationNames::LocationSent, this,
            [this](const Notification &n) { sent << n.object.toString(); });
        NotificationCenter::defaultCenter().addObserver(NotificationNames::LocationOK, this,
            [this](const Notification &n) { oks << n.object.toString(); });
    }

    void init()
    {
        QVERIFY(clearPreferences({ PreferenceKeys::validated, PreferenceKeys::frequency,
            PreferenceKeys::locationunits, PreferenceKeys::speed, PreferenceKeys::sendspeed,
            PreferenceKeys::sendauto, PreferenceKeys::bg }));
        prefs().setString(QStringLiteral("Jo Ann"), PreferenceKeys::user);
        server = std::make_unique<ScriptedTrackingServer>();
        Clock::setTime(reportTime);
        sent.clear();
        oks.clear();
    }

    void cleanup()
    {
        screen.reset();
        server.reset();
        qDeleteAll(openAlerts());
        Clock::resetTime();
    }

    void setUpFromAnEmptyStore()
    {
        prefs().removeObjectForKey(PreferenceKeys::user);
        screen = std::make_unique<TrackingScreen>();
        const TrackingScreen::Outlets &ui = screen->ui;
        QCOMPARE(prefs().stringForKey(PreferenceKeys::deviceid), Device::uniqueIdentifier());
        QCOMPARE(ui.labVersion->text(), QStringLiteral("v2.5"));
        QCOMPARE(ui.labMessage->text(), QStringLiteral("Updates are turned off. ."));
        QVERIFY(!ui.swOnOff->isOn());
        QVERIFY(ui.swOnOff->isEnabled());
        QVERIFY(!ui.labWarning->text().isEmpty());
        QVERIFY(ui.labDebug->text().isEmpty());
        QCOMPARE(screen->getFrequency(), 15);
        QCOMPARE(screen->view()->palette().color(QPalette::Window), QColor(255, 255, 0));
        screen->handleTimer();
        QCOMPARE(ui.labMessage->text(), QStringLiteral("Updates are turned off. .."));
        QVERIFY(!ui.cbSendNow->isEnabled());
    }

    void disabledLocationServices()
    {
        LocationManager::setSourceOption(QStringLiteral("nmea:/nonexistent/track.nmea"));
        TrackingScreen &s = open(true, true);
        useDemoTrack();
        QCOMPARE(s.ui.labMessage->text(), QStringLiteral("Location Services are disabled"));
        QVERIFY(!s.ui.swOnOff->isEnabled());
        QVERIFY(s.ui.swOnOff->isOn()); // "sendauto" still sets it, on but disabled
        s.handleTimer();
        QCOMPARE(s.ui.labMessage->text(), QStringLiteral("No GPS data. ."));
    }

    // The texts themselves are tst_TrackingRules' tables; here, that the settings and the
    // tick reach the labels.
    void coordinates_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("51.5 dms") << 1 << 51.5 << QStringLiteral("51\u2218 30' 0\"");
        QTest::newRow("51.5 decimal") << 0 << 51.5 << QStringLiteral("51.500000");
    }
    void coordinates()
    {
        QFETCH(int, units);
        QFETCH(double, value);
        QFETCH(QString, shown);
        TrackingScreen &s = open();
        prefs().setInteger(units, PreferenceKeys::locationunits);
        NotificationCenter::defaultCenter().postNotificationName(
            NotificationNames::LocationUnitsSet);
        s.position(value, value);
        QCOMPARE(s.ui.labLat->text(), shown);
        QCOMPARE(s.ui.labLong->text(), shown);
    }

    void speeds_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("KPH") << 1 << 10.0 << QStringLiteral("36 KPH");
        QTest::newRow("unknown unit keeps the text") << 5 << 10.0 << QStringLiteral("4 MPH");
    }
    void speeds()
    {
        QFETCH(int, unit);
        QFETCH(double, speed);
        QFETCH(QString, shown);
        TrackingScreen &s = open();
        s.position(1, 1, 5, 2.0); // 4 MPH under the default unit
        prefs().setInteger(unit, PreferenceKeys::speed);
        NotificationCenter::defaultCenter().postNotificationName(NotificationNames::SpeedSet);
        QCOMPARE(s.ui.labSpeed->text(), QStringLiteral("4 MPH")); // no redraw until a position
        s.position(1, 1, 5, speed);
        QCOMPARE(s.ui.labSpeed->text(), shown);
    }

    void accuracyIsCutFailureShowsAndRecovers()
    {
        TrackingScreen &s = open();
        s.position(51.5, -0.1275, 65.9, 10);
        QCOMPARE(s.ui.labAccuracy->text(), QStringLiteral("65m"));
        screen->locationManagerDidFailWithError(MainViewController::locationManager(), "gone");
        QCOMPARE(s.ui.labLat->text(), QStringLiteral("Location search failed"));
        QCOMPARE(s.ui.labLong->text(), QStringLiteral("Location search failed"));
        QCOMPARE(s.ui.labAccuracy->text(), QStringLiteral("n/a"));
        QCOMPARE(s.ui.labSpeed->text(), QStringLiteral("n/a"));
        s.handleTimer();
        QCOMPARE(s.ui.labMessage->text(), QStringLiteral("No GPS data. .."));
        QVERIFY(!s.ui.cbSendNow->isEnabled());
        QVERIFY(sent.isEmpty());
        s.position(51.5, -0.1275, 12.2, 10);
        QCOMPARE(s.ui.labLat->text(), QStringLiteral("51.500000"));
        QCOMPARE(s.ui.labAccuracy->text(), QStringLiteral("12m"));
        s.handleTimer();
        QCOMPARE(sent.size(), 1);
    }

    void tickMessages_data()
    {
        QTest::addColumn<bool>("switchOn");
        QTest::addColumn<int>("frequency");
        QTest::addColumn<bool>("validated");
        QTest::addColumn<bool>("hasPosition");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("reports");
        QTest::newRow("off") << false << 0 << true << true << "Updates are turned off. " << false;
        QTest::newRow("no position") << true << 0 << true << false << "No GPS data. " << false;
        QTest::newRow("reports") << true << 3 << true << true << "" << true;
    }
    void tickMessages()
    {
        QFETCH(bool, switchOn);
        QFETCH(int, frequency);
        QFETCH(bool, validated);
        QFETCH(bool, hasPosition);
        QFETCH(QString, message);
        QFETCH(bool, reports);
        prefs().setInteger(frequency, PreferenceKeys::frequency);
        TrackingScreen &s = open(validated, switchOn);
        if (hasPosition)
            s.position(51.5, -0.1275);
        s.handleTimer();
        const QString shown = s.ui.labMessage->text();
        QVERIFY2(shown.startsWith(message), qPrintable(shown));
        QVERIFY2(message.isEmpty() || shown.size() > message.size(), "dots follow the message");
        QCOMPARE(sent.size(), reports ? 1 : 0);
        QCOMPARE(s.ui.cbSendNow->isEnabled(), validated && hasPosition);
    }

    void nextSendLabel_data()
    {
        QTest::addColumn<int>("frequency");
        QTest::addColumn<QString>("every");
        QTest::addColumn<int>("seconds");
        QTest::newRow("0") << 0 << "(every 15 secs)" << 15;
        QTest::newRow("3") << 3 << "(every 2 mins)" << 120;
    }
    void nextSendLabel()
    {
        QFETCH(int, frequency);
        QFETCH(QString, every);
        QFETCH(int, seconds);
        prefs().setInteger(frequency, PreferenceKeys::frequency);
        TrackingScreen &s = open(false, true);
        s.handleTimer();
        QCOMPARE(s.ui.labNextSend->text(), QStringLiteral("asap ") + every);
        prefs().setBool(true, PreferenceKeys::validated);
        s.position(51.5, -0.1275);
        s.handleTimer(); // reports at once
        QCOMPARE(sent.size(), 1);
        Clock::advance(1000);
        s.handleTimer();
        QCOMPARE(s.ui.labNextSend->text(),
            reportTime.addSecs(seconds).toString(QStringLiteral("HH:mm:ss ")) + every);
    }

    void reportsOnlyWhenMoreThanTheFrequencyHasPassed()
    {
        TrackingScreen &s = open();
        s.position(51.5, -0.1275);
        s.handleTimer();
        QCOMPARE(sent.size(), 1);
        Clock::setTime(reportTime.addSecs(15));
        s.handleTimer();
        QCOMPARE(sent.size(), 1); // exactly the frequency: not yet
        Clock::setTime(reportTime.addMSecs(15'001));
        s.handleTimer();
        QCOMPARE(sent.size(), 2);
        s.handleTimer();
        QCOMPARE(sent.size(), 2);
    }

    void switchingOffEmptiesTheNextSendLabel()
    {
        TrackingScreen &s = open(true, true);
        s.handleTimer();
        QVERIFY(!s.ui.labNextSend->text().isEmpty());
        QTest::mouseClick(s.ui.swOnOff, Qt::LeftButton);
        QVERIFY(!s.ui.swOnOff->isOn());
        QCOMPARE(s.ui.labNextSend->text(), QString());
        s.handleTimer();
        QVERIFY(s.ui.labMessage->text().startsWith(QLatin1String("Updates are turned off. ")));
    }

    void sendNowWorksWithTheSwitchOff()
    {
        TrackingScreen &s = open(true, false);
        s.sendNow();
        QVERIFY(sent.isEmpty()); // no position yet
        s.position(51.5, -0.1275);
        s.handleTimer();
        QVERIFY(s.ui.cbSendNow->isEnabled());
        Clock::advance(5000);
        QTest::mouseClick(s.ui.cbSendNow, Qt::LeftButton);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(s.ui.labStatus->text(), QStringLiteral("Sending"));
        QCOMPARE(s.ui.labLastSend->text(), QStringLiteral("14:05:14"));
        // The scheduled report, once switched on, counts from the manual one.
        s.ui.swOnOff->setOn(true);
        Clock::advance(15'000);
        s.handleTimer();
        QCOMPARE(sent.size(), 1);
        Clock::advance(1);
        s.handleTimer();
        QCOMPARE(sent.size(), 2);
    }

    void backgroundPositionRunsATick()
    {
        TrackingScreen &s = open();
        s.switchToBackgroundMode(true);
        s.position(51.5, -0.1275);
        QCOMPARE(sent.size(), 1);
        s.position(51.5, -0.1275); // half a second later: lastSend has moved, no second report
        QCOMPARE(sent.size(), 1);
        QVERIFY(s.ui.labDebug->text().isEmpty());
        s.switchToBackgroundMode(false);
        s.position(51.5, -0.1275);
        QCOMPARE(sent.size(), 1);
    }

    void reportArrivesByteForByte_data()
    {
        QTest::addColumn<bool>("sendSpeed");
        QTest::addColumn<QByteArray>("speed");
        QTest::addColumn<bool>("ipv6");
        QTest::newRow("speed sent") << true << QByteArray("22%20MPH") << false;
        QTest::newRow("speed not sent") << false << QByteArray(".") << false;
        QTest::newRow("server on [::1]") << false << QByteArray(".") << true;
    }
    void reportArrivesByteForByte()
    {
        QFETCH(bool, sendSpeed);
        QFETCH(QByteArray, speed);
        QFETCH(bool, ipv6);
        if (ipv6) {
            server = std::make_unique<ScriptedTrackingServer>(
                QHostAddress(QHostAddress::LocalHostIPv6));
            if (server->port() == 0)
                QSKIP("This machine has no IPv6 loopback");
        }
        prefs().setBool(sendSpeed, PreferenceKeys::sendspeed);
        TrackingScreen &s = open();
        s.position(51.5, -0.1275, 65.9, 10.0);
        s.handleTimer();
        QTRY_COMPARE(server->requestLines().size(), 1);
        const QByteArray device = Device::uniqueIdentifier().toLatin1();
        QCOMPARE(server->requestLines().first(),
            "GET /log.php?u=Jo%20Ann&d=" + device
                + "&lat=51.500000&long=-0.127500&when=20260306140509&ver=v2.5&acc=65&speed=" + speed
                + "&id=1 HTTP/1.1");
        QCOMPARE(sent,
            QStringList { server->baseUrl() + "log.php?u=Jo Ann&d=" + device
                + "&lat=51.500000&long=-0.127500&when=20260306140509"
                  "&ver=v2.5&acc=65&speed="
                + (sendSpeed ? "22 MPH" : ".") + "&id=1" });
        QTRY_COMPARE(oks, QStringList { "OK" });
    }

    void storedReportsUseUpIds()
    {
        TrackingScreen &s = open();
        s.position(1, 2);
        s.sendNow();
        Reachability::setTestAnswer(Reachability::Flags());
        s.sendNow();
        QCOMPARE(s.ui.labStatus->text(), QStringLiteral("Stored"));
        Reachability::setTestAnswer(Reachability::Reachable);
        s.sendNow();
        QCOMPARE(sent.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(sent[i].endsWith(QStringLiteral("&id=%1").arg(i + 1)));
        QTRY_COMPARE(server->requestLines().size(), 2);
        const QList<QByteArray> lines = server->requestLines();
        QVERIFY(lines[0].endsWith("&id=1 HTTP/1.1") || lines[1].endsWith("&id=1 HTTP/1.1"));
        QVERIFY(lines[0].endsWith("&id=3 HTTP/1.1") || lines[1].endsWith("&id=3 HTTP/1.1"));
        QTRY_COMPARE(s.ui.labSends->text(),
            QStringLiteral("2 Sends : 2 OK : 0 Failed : 0 Pending : 1 Stored"));
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("failure");
        QTest::addColumn<bool>("switchOn");
        QTest::addColumn<bool>("switchEnabled");
        QTest::addColumn<QString>("alert"); // null: none
        QTest::addColumn<QStringList>("posted");
        const QString none;
        QTest::newRow("OK") << QByteArray("OK") << 200 << "OK" << false << true << true << none
                            << QStringList { "OK" };
        QTest::newRow("OK with id") << QByteArray("OK17") << 200 << "OK" << false << true << true
                                    << none << QStringList { "OK17" };
        QTest::newRow("OK in a 404") << QByteArray("OK1") << 404 << "OK" << false << true << true
                                     << none << QStringList { "OK1" };
        QTest::newRow("OK in a 400") << QByteArray("OK1") << 400 << "OK" << false << true << true
                                     << none << QStringList { "OK1" };
        QTest::newRow("lower case ok")
            << QByteArray("ok") << 200 << "ok" << true << true << true << none << QStringList();
        QTest::newRow("O alone") << QByteArray("O") << 200 << "O" << true << true << true << none
                                 << QStringList();
        QTest::newRow("refusal, empty")
            << QByteArray("~") << 200 << "" << true << false << true << "" << QStringList();
        QTest::newRow("refusal") << QByteArray("~Not your device") << 200 << "Not your device"
                                 << true << false << true << "Not your device" << QStringList();
        QTest::newRow("stop, empty")
            << QByteArray("~~") << 200 << "" << true << false << false << "" << QStringList();
        QTest::newRow("stop") << QByteArray("~~Stopped by the operator") << 200
                              << "Stopped by the operator" << true << false << false
                              << "Stopped by the operator" << QStringList();
        QTest::newRow("stop in a 400") << QByteArray("~~Bad device") << 400 << "Bad device" << true
                                       << false << false << "Bad device" << QStringList();
        QTest::newRow("refusal in a 407")
            << QByteArray("~Who are you") << 407 << "Who are you" << true << false << true
            << "Who are you" << QStringList();
        QTest::newRow("empty") << QByteArray() << 200 << "" << true << true << true << none
                               << QStringList();
        QTest::newRow("server error page") << QByteArray("<h1>502</h1>") << 502 << "<h1>502</h1>"
                                           << true << true << true << none << QStringList();
        QTest::newRow("not ASCII") << QByteArray("OK\xc3\xa9") << 200 << "" << true << true << true
                                   << none << QStringList();
    }
    void replies()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, shown);
        QFETCH(bool, failure);
        QFETCH(bool, switchOn);
        QFETCH(bool, switchEnabled);
        QFETCH(QString, alert);
        QFETCH(QStringList, posted);
        server->enqueue(ScriptedHttpServer::text(body, status));
        TrackingScreen &s = open();
        s.position(51.5, -0.1275);
        s.handleTimer();
        QCOMPARE(s.ui.labStatus->text(), QStringLiteral("Sending"));
        QCOMPARE(s.ui.labSends->text(),
            QStringLiteral("1 Sends : 0 OK : 0 Failed : 1 Pending : 0 Stored"));
        QTRY_VERIFY(s.ui.labStatus->text() != QLatin1String("Sending"));
        QCOMPARE(s.ui.labStatus->text(), shown);
        QCOMPARE(s.ui.labStatus->textFormat(), Qt::PlainText); // an error page is not rendered
        QCOMPARE(s.ui.labSends->text(),
            failure ? QStringLiteral("1 Sends : 0 OK : 1 Failed : 0 Pending : 0 Stored")
                    : QStringLiteral("1 Sends : 1 OK : 0 Failed : 0 Pending : 0 Stored"));
        const QPalette colours = s.ui.labStatus->palette();
        QCOMPARE(
            colours.color(QPalette::WindowText), failure ? QColor(Qt::white) : QColor(Qt::black));
        QCOMPARE(s.ui.labStatus->autoFillBackground(), failure);
        if (failure)
            QCOMPARE(colours.color(QPalette::Window), QColor(Qt::red));
        QCOMPARE(s.ui.swOnOff->isOn(), switchOn);
        QCOMPARE(s.ui.swOnOff->isEnabled(), switchEnabled);
        QCOMPARE(s.ui.cbSendNow->isEnabled(), switchEnabled);
        const QList<QMessageBox *> alerts = openAlerts();
        QCOMPARE(alerts.size(), alert.isNull() ? 0 : 1);
        if (!alert.isNull())
            QCOMPARE(alerts.first()->text(), alert);
        QCOMPARE(oks, posted);

        // A stop or refusal turns the switch off without the switch's own action.
        s.handleTimer();
        QVERIFY(switchOn || s.ui.labMessage->text().startsWith("Updates are turned off. "));
        QVERIFY(switchOn || !s.ui.labNextSend->text().isEmpty());
        QVERIFY(s.ui.cbSendNow->isEnabled()); // enabled again by the tick
        QCOMPARE(s.ui.swOnOff->isEnabled(), switchEnabled);

        // The next report puts the normal colours back.
        s.sendNow();
        QCOMPARE(s.ui.labStatus->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(s.ui.labStatus->autoFillBackground(), s.ui.labSpeed->autoFillBackground());
    }

    // The network is asked twice for one report: once to count it, once to send it.
    void connectivityChangesWithinOneReport_data()
    {
        QTest::addColumn<Reachability::Flags>("whenCounted");
        QTest::addColumn<Reachability::Flags>("whenSent");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("line");
        const Reachability::Flags up = Reachability::Reachable;
        const Reachability::Flags down;
        QTest::newRow("counted as sent, not sent")
            << up << down << 0 << "1 Sends : 0 OK : 0 Failed : 1 Pending : 0 Stored";
        QTest::newRow("counted as stored, sent and its reply counted")
            << down << up << 1 << "0 Sends : 1 OK : 0 Failed : -1 Pending : 1 Stored";
    }
    void connectivityChangesWithinOneReport()
    {
        QFETCH(Reachability::Flags, whenCounted);
        QFETCH(Reachability::Flags, whenSent);
        QFETCH(int, requests);
        QFETCH(QString, line);
        TrackingScreen &s = open();
        s.position(51.5, -0.1275);
        Reachability::setTestAnswers({ whenCounted, whenSent });
        s.handleTimer();
        QCOMPARE(sent.size(), 1);
        QTRY_COMPARE(s.ui.labSends->text(), line);
        QTest::qWait(gracePeriodMs);
        QCOMPARE(server->requestLines().size(), requests);
        QCOMPARE(s.ui.labSends->text(), line);
    }

    void frequencyIsReadAfreshOnEveryTick()
    {
        prefs().setInteger(0, PreferenceKeys::frequency);
        TrackingScreen &s = open();
        s.position(51.5, -0.1275);
        s.handleTimer(); // the first report, at once
        const QString nextAfter15s = reportTime.addSecs(15).toString(QStringLiteral("HH:mm:ss "));
        QCOMPARE(s.ui.labNextSend->text(), QStringLiteral("asap (every 15 secs)"));
        Clock::advance(1000);
        s.handleTimer();
        QCOMPARE(s.ui.labNextSend->text(), nextAfter15s + "(every 15 secs)");
        prefs().setInteger(4, PreferenceKeys::frequency); // no notification: the tick reads it
        Clock::advance(1000);
        s.handleTimer();
        QCOMPARE(s.ui.labNextSend->text(),
            reportTime.addSecs(300).toString(QStringLiteral("HH:mm:ss ")) + "(every 5 mins)");
        QCOMPARE(sent.size(), 1);
    }

    void statusLineCountsEveryOutcome()
    {
        for (const char *body : { "OK1", "OK2", "OK3", "bad" })
            server->enqueue(ScriptedHttpServer::text(body));
        server->setDefaultReply(ScriptedHttpServer::neverAnswer());
        TrackingScreen &s = open();
        s.position(51.5, -0.1275);
        for (int i = 0; i < 4; ++i) {
            s.sendNow();
            QTRY_COMPARE(server->requestLines().size(), i + 1);
            QTRY_VERIFY(!s.ui.labStatus->text().startsWith(QLatin1String("Sending")));
        }
        s.sendNow(); // never answered: pending
        Reachability::setTestAnswer(Reachability::Flags());
        s.sendNow();
        s.sendNow();
        QCOMPARE(s.ui.labSends->text(),
            QStringLiteral("5 Sends : 3 OK : 1 Failed : 1 Pending : 2 Stored"));
        QCOMPARE(sent.size(), 7);
    }

    void repliesInAnyOrderEachToItsOwnReport()
    {
        Reply slow = ScriptedHttpServer::text("OK1");
        slow.delayMs = 400;
        server->enqueue(slow);
        server->enqueue(ScriptedHttpServer::text("OK2"));
        TrackingScreen &s = open();
        s.position(51.5, -0.1275);
        s.sendNow();
        QTRY_COMPARE(server->requestLines().size(), 1);
        s.sendNow();
        QTRY_COMPARE_WITH_TIMEOUT(oks.size(), 2, 5000);
        QCOMPARE(oks, (QStringList { "OK2", "OK1" }));
    }

    void writesAScreenshot()
    {
        server->setDefaultReply(ScriptedHttpServer::text("OK"));
        prefs().setString(QStringLiteral("5FA8D3"), PreferenceKeys::bg);
        prefs().setBool(true, PreferenceKeys::sendspeed);
        TrackingScreen &s = open();
        s.position(51.504512, -0.129988, 6.4, 5.2);
        for (int i = 0; i < 3; ++i) {
            s.handleTimer();
            QTRY_VERIFY(s.ui.labStatus->text() == QLatin1String("OK"));
            Clock::advance(16'000);
        }
        Clock::advance(-6'000); // ten seconds after the last report
        s.handleTimer();
        s.view()->resize(320, 400);
        const QImage shot = s.view()->grab().toImage();
        QVERIFY(saveScreenshot(shot, QStringLiteral("tracking")));
        QCOMPARE(shot.pixelColor(2, 2), QColor(0x5F, 0xA8, 0xD3));
    }
};

PEREGRIX_TEST_MAIN(TestMainViewController)
#include "tst_MainViewController.moc"
