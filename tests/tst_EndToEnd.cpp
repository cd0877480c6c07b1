// End to end: the program's real screens, offscreen, with positions replayed from the demo track,
// against the real peregrix-server process. One story, in order: a name validated on settings
// page 1, reports stored with their fields, the server stopped (reports pending and stored) and
// started again, the late resend stored and the history marked, and finally the operator
// stopping the device.
#include "DemoTrack.h"
#include "GracePeriod.h"
#include "OpenAlerts.h"
#include "Outlet.h"
#include "Preferences.h"
#include "ServerProcess.h"
#include "TestEnvironment.h"
#include "TrackingScreen.h"

#include "history/Main2ViewController.h"
#include "settings/Settings1ViewController.h"

#include "TrackingStore.h"

#include "shared/GlobalFunctions.h"
#include "shared/PreferenceKeys.h"

#include "platform/Clock.h"
#include "platform/Device.h"
#include "platform/Reachability.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime start(QDate(2026, 3, 6), QTime(14, 5, 9));

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString device;
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<Main2ViewController> history;
    std::unique_ptr<TrackingScreen> tracking;
    struct Sent
    {
        QString latitude, longitude, accuracy, speed, when;
    };
    QList<Sent> sent; // what the tracking screen showed as each report went out

    QList<TrackingStore::TrackPoint> storedTrack()
    {
        TrackingStore store(QStringLiteral("end-to-end"));
        store.open(dir.filePath(QStringLiteral("tracking.sqlite")));
        return store.track(device);
    }
    // One scheduled report, 16 s after the previous one.
    void tick()
    {
        Clock::advance(16'000);
        tracking->handleTimer();
        const TrackingScreen::Outlets &ui = tracking->ui;
        sent.append({ ui.labLat->text(), ui.labLong->text(), ui.labAccuracy->text(),
            ui.labSpeed->text(), Clock::now().toString("yyyyMMddHHmmss") });
    }
    [[nodiscard]] QString counters() const { return tracking->ui.labSends->text(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        device = Device::uniqueIdentifier();
        prefs().setString(device, PreferenceKeys::deviceid);
        prefs().setBool(true, PreferenceKeys::sendspeed);
        useDemoTrack();
        Reachability::setTestAnswer(Reachability::Reachable);
        server = std::make_unique<ServerProcess>(
            QStringLiteral(PEREGRIX_SERVER), dir.filePath(QStringLiteral("tracking.sqlite")));
        QVERIFY2(server->start(), qPrintable(server->output()));
        GlobalData::sharedGlobalData()->setUrl(server->baseUrl());
    }

    void cleanupTestCase()
    {
        tracking.reset();
        history.reset();
        qDeleteAll(openAlerts());
        Clock::resetTime();
    }

    void validateOnSettingsPageOne()
    {
        Settings1ViewController page;
        QWidget *view = page.view();
        view->show();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view));
        auto *txtUser = outlet<QLineEdit>(view, "txtUser");
        auto *labValidated = outlet<QLabel>(view, "labValidated");
        txtUser->setFocus();
        QTest::keyClicks(txtUser, QStringLiteral("Jo Ann"));
        QTest::mouseClick(outlet<QPushButton>(view, "cbValidate"), Qt::LeftButton);
        QCOMPARE(labValidated->text(), QStringLiteral("Validated Jo Ann"));
        QVERIFY(prefs().boolForKey(PreferenceKeys::validated));
        QCOMPARE(prefs().stringForKey(PreferenceKeys::user), QStringLiteral("Jo Ann"));

        // The forgotten-name button asks the server for the name.
        QTest::mouseClick(outlet<QPushButton>(view, "cbForgotten"), Qt::LeftButton);
        QCOMPARE(labValidated->text(), QStringLiteral("Validated Jo Ann"));
        QCOMPARE(server->command({ "users" }).out.split(u'\n').value(1).section(u'\t', 0, 1),
            QStringLiteral("Jo Ann\t") + device);
    }

    void reportsAreStoredWithTheirFields()
    {
        prefs().setBool(false, PreferenceKeys::sendauto);
        Clock::setTime(start);
        history = std::make_unique<Main2ViewController>();
        history->view();
        tracking = std::make_unique<TrackingScreen>(TrackingScreen::SourceRuns);
        const TrackingScreen::Outlets &ui = tracking->ui;
        QTRY_VERIFY_WITH_TIMEOUT(ui.labLat->text().contains(u'.'), 10'000); // the replay runs
        QTest::mouseClick(ui.swOnOff, Qt::LeftButton);
        QVERIFY(ui.swOnOff->isOn());
        for (int i = 0; i < 2; ++i) {
            tick();
            QTRY_COMPARE(ui.labStatus->text(), QStringLiteral("OK"));
        }
        QCOMPARE(counters(), QStringLiteral("2 Sends : 2 OK : 0 Failed : 0 Pending : 0 Stored"));

        const QList<TrackingStore::TrackPoint> track = storedTrack();
        QCOMPARE(track.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(QString::number(track[i].latitude, 'f', 6), sent[i].latitude);
            QCOMPARE(QString::number(track[i].longitude, 'f', 6), sent[i].longitude);
            QCOMPARE(QStringLiteral("%1m").arg(track[i].accuracy), sent[i].accuracy);
            QCOMPARE(track[i].speed, sent[i].speed);
            QCOMPARE(track[i].when, sent[i].when);
            QCOMPARE(track[i].id, i + 1);
            QVERIFY(!track[i].late);
        }
        QVERIFY(sent[0].speed.endsWith(QLatin1String(" MPH")));
    }

    void serverStoppedReportsPendingAndStored()
    {
        server->pause(); // takes connections, answers nothing
        tick();
        QTest::qWait(gracePeriodMs);
        QCOMPARE(tracking->ui.labStatus->text(), QStringLiteral("Sending"));
        QCOMPARE(counters(), QStringLiteral("3 Sends : 2 OK : 0 Failed : 1 Pending : 0 Stored"));
        Reachability::setTestAnswer(Reachability::Flags());
        tick();
        QCOMPARE(counters(), QStringLiteral("3 Sends : 2 OK : 0 Failed : 1 Pending : 1 Stored"));
        // The unanswered report fails with the connection; the program leaves a report whose
        // exchange failed counted as pending, and its history entry unacknowledged.
        server->kill();
        QTest::qWait(gracePeriodMs);
        QCOMPARE(counters(), QStringLiteral("3 Sends : 2 OK : 0 Failed : 1 Pending : 1 Stored"));
        QCOMPARE(storedTrack().size(), 2);
    }

    void restartedServerTakesTheLateResend()
    {
        QVERIFY2(server->start(), qPrintable(server->output()));
        Reachability::setTestAnswer(Reachability::Reachable);
        QCOMPARE(Main2ViewController::sentOKItems(), (QStringList { "OK", "OK", "", "" }));
        QTest::mouseClick(outlet<QPushButton>(history->view(), "cbSendMissing"), Qt::LeftButton);
        QTRY_COMPARE(Main2ViewController::sentOKItems(), (QStringList { "OK", "OK", "OK", "OK" }));

        const QList<TrackingStore::TrackPoint> track = storedTrack();
        QCOMPARE(track.size(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(track[i].id, i + 1);
            QCOMPARE(track[i].late, i >= 2);
            QCOMPARE(track[i].when, sent[i].when);
            QCOMPARE(QString::number(track[i].latitude, 'f', 6), sent[i].latitude);
        }
        // Nothing is left to send.
        QTest::mouseClick(outlet<QPushButton>(history->view(), "cbSendMissing"), Qt::LeftButton);
        QTest::qWait(gracePeriodMs);
        QCOMPARE(storedTrack().size(), 4);
    }

    void operatorStopsTheDevice()
    {
        const QString message = QStringLiteral("Tracking stopped by the operator");
        QCOMPARE(server->command({ "stop", device, message }).exitCode, 0);
        tick();
        const TrackingScreen::Outlets &ui = tracking->ui;
        QTRY_COMPARE(ui.labStatus->text(), message);
        QVERIFY(!ui.swOnOff->isOn());
        QVERIFY(!ui.swOnOff->isEnabled());
        const QList<QMessageBox *> alerts = openAlerts();
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts.first()->text(), message);
        QCOMPARE(storedTrack().size(), 4);
    }
};

PEREGRIX_TEST_MAIN(TestEndToEnd)
#include "tst_EndToEnd.moc"
