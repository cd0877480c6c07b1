// Settings page 1 driven through its controls: validation against a server on 127.0.0.1, the
// forgotten-name look-up, the test user, the name limit, undo, and the frequency controls.
#include "ExchangeTimeout.h"
#include "GracePeriod.h"
#include "OpenAlerts.h"
#include "Outlet.h"
#include "Preferences.h"
#include "Screenshot.h"
#include "ScriptedTrackingServer.h"
#include "TestEnvironment.h"

#include "settings/Settings1ViewController.h"

#include "shared/PreferenceKeys.h"

#include "platform/Reachability.h"
#include "platform/widgets/ActivityIndicator.h"
#include "platform/widgets/Slider.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

const QString device = QStringLiteral("0123456789abcdef0123456789abcdef89abcdef");

// Where a value lies on a slider, in its own coordinates.
QPoint sliderPoint(const Slider *slider, double value)
{
    const double left = 12, width = slider->width() - 24;
    return { int(left + value / 5.0 * width), slider->height() / 2 };
}

// The page with its outlets, found by the names Settings1View.ui gives them.
class Page : public Settings1ViewController
{
public:
    struct Outlets
    {
        QWidget *view;
        QLineEdit *txtUser = outlet<QLineEdit>(view, "txtUser");
        QLabel *labUser = outlet<QLabel>(view, "labUser");
        QLabel *labValidated = outlet<QLabel>(view, "labValidated");
        QLabel *labDeviceId = outlet<QLabel>(view, "labDeviceId");
        QLabel *labPassword = outlet<QLabel>(view, "labPassword");
        QPushButton *cbValidate = outlet<QPushButton>(view, "cbValidate");
        QPushButton *cbUseTest = outlet<QPushButton>(view, "cbUseTest");
        QPushButton *cbForgotten = outlet<QPushButton>(view, "cbForgotten");
        QPushButton *cbUndo = outlet<QPushButton>(view, "cbUndo");
        ActivityIndicator *aivActivity = outlet<ActivityIndicator>(view, "aivActivity");
        Slider *frequencySlider = outlet<Slider>(view, "frequencySlider");
        QPushButton *cbSetFrequency = outlet<QPushButton>(view, "cbSetFrequency");
        QPushButton *cb15s = outlet<QPushButton>(view, "cb15s");
        QPushButton *cb30s = outlet<QPushButton>(view, "cb30s");
        QPushButton *cb1m = outlet<QPushButton>(view, "cb1m");
        QPushButton *cb2m = outlet<QPushButton>(view, "cb2m");
        QPushButton *cb5m = outlet<QPushButton>(view, "cb5m");
        QPushButton *cb10m = outlet<QPushButton>(view, "cb10m");
    };
    const Outlets ui { view() };
};

} // namespace

class TestSettings1ViewController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedTrackingServer> server;
    std::unique_ptr<Page> page;

    Page &open(const QString &user = QString(), bool isValidated = false, int frequency = 0)
    {
        if (user.isNull())
            prefs().removeObjectForKey(PreferenceKeys::user);
        else
            prefs().setString(user, PreferenceKeys::user);
        prefs().setBool(isValidated, PreferenceKeys::validated);
        prefs().setInteger(frequency, PreferenceKeys::frequency);
        page = std::make_unique<Page>();
        page->view()->show();
        page->view()->activateWindow();
        if (!QTest::qWaitForWindowActive(page->view()))
            qWarning("The page's window did not become active; focus checks may fail");
        return *page;
    }
    void type(const QString &text)
    {
        page->ui.txtUser->setFocus();
        page->ui.txtUser->selectAll();
        QTest::keyClicks(page->ui.txtUser, text);
    }
    [[nodiscard]] bool validatedMode() const
    {
        const Page::Outlets &ui = page->ui;
        return ui.txtUser->isHidden() && ui.cbUseTest->isHidden() && ui.cbValidate->isHidden()
            && ui.labValidated->isHidden() && !ui.labUser->isHidden();
    }
    [[nodiscard]] bool entryMode() const
    {
        const Page::Outlets &ui = page->ui;
        return !ui.txtUser->isHidden() && !ui.cbUseTest->isHidden() && !ui.cbValidate->isHidden()
            && !ui.labValidated->isHidden() && ui.labUser->isHidden();
    }

private Q_SLOTS:
    void init()
    {
        server = std::make_unique<ScriptedTrackingServer>();
        prefs().setString(device, PreferenceKeys::deviceid);
    }

    void cleanup()
    {
        page.reset();
        server.reset();
        qDeleteAll(openAlerts());
    }

    void firstStart()
    {
        Page &p = open();
        QCOMPARE(p.ui.txtUser->text(), QString());
        QCOMPARE(p.ui.labDeviceId->text(), device);
        QCOMPARE(p.ui.labPassword->text(), QStringLiteral("89abcdef"));
        QCOMPARE(p.ui.frequencySlider->value(), 0.0f);
        QVERIFY(!p.ui.cbSetFrequency->isEnabled());
        QVERIFY(!p.ui.cbValidate->isEnabled());
        QVERIFY(!p.ui.cbUndo->isEnabled());
        QVERIFY(p.ui.aivActivity->isHidden());
        QVERIFY(!p.ui.labUser->isHidden()); // every control shows when there is no name
        // The empty name label lies over the field; a click must reach the field all the same.
        QCOMPARE(p.view()->childAt(p.ui.txtUser->geometry().center()), p.ui.txtUser);
    }

    void testUserInAnyCaseNeedsNoServer_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("lower") << "test";
        QTest::newRow("title") << "Test";
        QTest::newRow("upper") << "TEST";
    }
    void testUserInAnyCaseNeedsNoServer()
    {
        QFETCH(QString, name);
        Reachability::setTestAnswer(Reachability::Flags());
        Page &p = open();
        type(name);
        QVERIFY(p.ui.cbValidate->isEnabled());
        QTest::mouseClick(p.ui.cbValidate, Qt::LeftButton);
        QCOMPARE(p.ui.labValidated->text(), QStringLiteral("Validated ") + name);
        QCOMPARE(prefs().stringForKey(PreferenceKeys::user), name);
        QVERIFY(prefs().boolForKey(PreferenceKeys::validated));
        QVERIFY(validatedMode());
        QCOMPARE(p.ui.labUser->text(), name);
        QTest::qWait(gracePeriodMs);
        QVERIFY(server->requestLines().isEmpty());
    }

    void useTestButton()
    {
        Page &p = open(QStringLiteral("Anna"), false);
        QTest::mouseClick(p.ui.cbUseTest, Qt::LeftButton);
        QCOMPARE(p.ui.txtUser->text(), QStringLiteral("Test"));
        QCOMPARE(p.ui.labValidated->text(), QStringLiteral("Validated Test"));
        QCOMPARE(prefs().stringForKey(PreferenceKeys::user), QStringLiteral("Test"));
        QVERIFY(prefs().boolForKey(PreferenceKeys::validated));
        QVERIFY(entryMode()); // the display mode stays
        QVERIFY(server->requestLines().isEmpty());
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("storedUser");
        QTest::addColumn<QString>("alert"); // null: none
        const QString none;
        QTest::newRow("validated") << QByteArray("VALIDATED") << 200 << true << "Validated Jo Ann"
                                   << "Jo Ann" << none;
        QTest::newRow("validated in a 404")
            << QByteArray("VALIDATED") << 404 << true << "Validated Jo Ann"
            << "Jo Ann" << none;
        QTest::newRow("validated in a 403")
            << QByteArray("VALIDATED") << 403 << true << "Validated Jo Ann"
            << "Jo Ann" << none;
        QTest::newRow("validated after a byte-order mark")
            << QByteArray("\xef\xbb\xbfVALIDATED") << 200 << false << "Not Validated: Jo Ann"
            << "Old" << QStringLiteral("\uFEFFVALIDATED");
        QTest::newRow("USER and a name")
            << QByteArray("USERAnna") << 200 << true << "Validated Anna"
            << "Anna" << none;
        const QString widest(20, QLatin1Char('W'));
        QTest::newRow("USER and the widest name allowed")
            << "USER" + widest.toLatin1() << 200 << true << "Validated " + widest << widest << none;
        QTest::newRow("USER alone") << QByteArray("USER") << 200 << true << "Validated "
                                    << "" << none;
        QTest::newRow("USER and non-ASCII")
            << QByteArray("USERJos\xc3\xa9") << 200 << true << QStringLiteral("Validated José")
            << QStringLiteral("José") << none;
        QTest::newRow("not validated")
            << QByteArray("NOT VALIDATED") << 200 << false << "Not Validated: Jo Ann"
            << "Old" << none;
        QTest::newRow("name in use")
            << QByteArray("USERNAME IN USE") << 200 << false << "Not Validated: Jo Ann"
            << "Old"
            << "USERNAME IN USE";
        QTest::newRow("validated and a line end")
            << QByteArray("VALIDATED\n") << 200 << false << "Not Validated: Jo Ann"
            << "Old"
            << "VALIDATED\n";
        QTest::newRow("lower case")
            << QByteArray("validated") << 200 << false << "Not Validated: Jo Ann"
            << "Old"
            << "validated";
        QTest::newRow("short") << QByteArray("USE") << 200 << false << "Not Validated: Jo Ann"
                               << "Old"
                               << "USE";
        QTest::newRow("empty") << QByteArray() << 200 << false << "Not Validated: Jo Ann"
                               << "Old"
                               << "";
    }
    void replies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        QFETCH(bool, success);
        QFETCH(QString, shown);
        QFETCH(QString, storedUser);
        QFETCH(QString, alert);
        server->enqueue(ScriptedHttpServer::text(reply, status));
        Page &p = open(QStringLiteral("Old"), true);
        QVERIFY(validatedMode());
        p.ui.txtUser->setText(QStringLiteral("Jo Ann"));
        p.validateUser();
        QCOMPARE(server->requestLines(),
            QList<QByteArray> { "GET /log.php?u=Jo%20Ann&d=" + device.toLatin1() + " HTTP/1.1" });
        QCOMPARE(p.ui.labValidated->text(), shown);
        QCOMPARE(prefs().boolForKey(PreferenceKeys::validated), success);
        QCOMPARE(prefs().stringForKey(PreferenceKeys::user), storedUser);
        QCOMPARE(success ? validatedMode() : entryMode(), true);
        if (success)
            QCOMPARE(p.ui.labUser->text(), storedUser);
        // A name the server accepted shows whole.
        for (const QLabel *label : { p.ui.labValidated, p.ui.labUser }) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text())
                    <= label->contentsRect().width(),
                qPrintable(label->objectName()));
        }
        const QList<QMessageBox *> alerts = openAlerts();
        QCOMPARE(alerts.size(), alert.isNull() ? 0 : 1);
        if (!alert.isNull()) {
            QCOMPARE(alerts.first()->text(), alert);
            QCOMPARE(alerts.first()->windowTitle(), QString());
        }
    }

    void forgottenName_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("isValidated");
        QTest::newRow("registered") << QByteArray("USERAnna") << "Validated Anna"
                                    << "Anna" << true;
        QTest::newRow("not registered")
            << QByteArray("NOT VALIDATED") << "Not previously registered."
            << "" << false;
    }
    void forgottenName()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        QFETCH(QString, field);
        QFETCH(bool, isValidated);
        server->enqueue(ScriptedHttpServer::text(reply));
        Page &p = open();
        QTest::mouseClick(p.ui.cbForgotten, Qt::LeftButton);
        QCOMPARE(server->requestLines(),
            QList<QByteArray> { "GET /log.php?u=?&d=" + device.toLatin1() + " HTTP/1.1" });
        QCOMPARE(p.ui.labValidated->text(), shown);
        QCOMPARE(p.ui.txtUser->text(), field);
        QCOMPARE(prefs().boolForKey(PreferenceKeys::validated), isValidated);
    }

    void errorsStoreNothing_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<bool>("forgotten");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no network") << false << false << "Not connected to network";
        QTest::newRow("request fails") << true << false << "Unable to validate - Error";
        QTest::newRow("no network, forgotten") << false << true << "Not connected to network";
        QTest::newRow("request fails, forgotten") << true << true << "Unable to validate - Error";
    }
    void errorsStoreNothing()
    {
        QFETCH(bool, network);
        QFETCH(bool, forgotten);
        QFETCH(QString, shown);
        server->setDefaultReply(ScriptedHttpServer::closeAtOnce());
        Reachability::setTestAnswer(network ? Reachability::Reachable : Reachability::Flags());
        Page &p = open(QStringLiteral("Old"), true);
        p.ui.txtUser->setText(QStringLiteral("Jo Ann"));
        if (forgotten)
            p.forgottenUser();
        else
            p.validateUser();
        QCOMPARE(p.ui.labValidated->text(), shown);
        QCOMPARE(prefs().stringForKey(PreferenceKeys::user), QStringLiteral("Old"));
        QVERIFY(prefs().boolForKey(PreferenceKeys::validated));
        QVERIFY(validatedMode()); // the display mode stays
        QCOMPARE(p.ui.txtUser->text(), forgotten ? QString() : QStringLiteral("Jo Ann"));
        if (forgotten)
            QVERIFY(!p.ui.cbValidate->isEnabled());
    }

    void serverThatNeverAnswersEndsInAnError()
    {
        const ExchangeTimeout timeout(std::chrono::milliseconds(500));
        server->setDefaultReply(ScriptedHttpServer::neverAnswer());
        Page &p = open();
        type(QStringLiteral("Jo Ann"));
        QTest::mouseClick(p.ui.cbValidate, Qt::LeftButton);
        QCOMPARE(p.ui.labValidated->text(), QStringLiteral("Unable to validate - Error"));
    }

    void nameThatCannotBeEscapedIsNotSent()
    {
        Page &p = open();
        p.ui.txtUser->setText(QStringLiteral("Jo") + QChar(0xD83D));
        p.validateUser();
        QCOMPARE(p.ui.labValidated->text(), QStringLiteral("Not Validated: Jo") + QChar(0xD83D));
        QVERIFY(!prefs().boolForKey(PreferenceKeys::validated));
        QTest::qWait(gracePeriodMs);
        QVERIFY(server->requestLines().isEmpty());
    }

    void waitingBlocksTheEventLoopAndTheSpinnerEndsHidden()
    {
        ScriptedHttpServer::Reply slow = ScriptedHttpServer::text("VALIDATED");
        slow.delayMs = 400;
        server->enqueue(slow);
        Page &p = open();
        type(QStringLiteral("Jo Ann"));
        QTimer tick;
        int ticks = 0;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(50);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(p.ui.cbValidate, Qt::LeftButton);
        QVERIFY(clock.elapsed() >= 350);
        QCOMPARE(ticks, 0);
        QCOMPARE(p.ui.labValidated->text(), QStringLiteral("Validated Jo Ann"));
        QTRY_VERIFY(ticks > 0);
        QVERIFY(p.ui.aivActivity->isHidden());
        QVERIFY(!p.ui.aivActivity->isAnimating());
    }

    void nameIsCutAtTwentyUnits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString twenty = QStringLiteral("abcdefghijklmnopqrst");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("21st character") << twenty + "u" << twenty;
        QTest::newRow("pasted 30") << twenty + "0123456789" << twenty;
        QTest::newRow("20 is fine") << twenty << twenty;
        QTest::newRow("emoji across the limit") << twenty.left(19) + emoji << twenty.left(19);
        QTest::newRow("emoji inside") << emoji + twenty << emoji + twenty.left(18);
    }
    void nameIsCutAtTwentyUnits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        Page &p = open();
        p.ui.txtUser->setFocus();
        QApplication::clipboard()->setText(typed);
        QTest::keySequence(p.ui.txtUser, QKeySequence::Paste);
        QCOMPARE(p.ui.txtUser->text(), kept);
        QCOMPARE(p.ui.txtUser->hasFocus(), typed.size() <= 20);
    }

    void typingOneMoreCharacterClosesTheKeyboard()
    {
        Page &p = open();
        type(QStringLiteral("abcdefghijklmnopqrs"));
        QVERIFY(p.ui.txtUser->hasFocus());
        QTest::keyClicks(p.ui.txtUser, QStringLiteral("tu"));
        QCOMPARE(p.ui.txtUser->text(), QStringLiteral("abcdefghijklmnopqrst"));
        QVERIFY(!p.ui.txtUser->hasFocus());
    }

    void validateNeedsThreeCharactersOfAnotherName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("one") << "a" << false;
        QTest::newRow("two") << "ab" << false;
        QTest::newRow("three") << "abc" << true;
        QTest::newRow("the stored name") << "Anna" << false;
        QTest::newRow("another case") << "ANNA" << true;
    }
    void validateNeedsThreeCharactersOfAnotherName()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        Page &p = open(QStringLiteral("Anna"), false);
        type(QStringLiteral("xyz"));
        QVERIFY(p.ui.cbValidate->isEnabled());
        p.ui.txtUser->setFocus();
        p.ui.txtUser->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(p.ui.txtUser, Qt::Key_Backspace);
        else
            QTest::keyClicks(p.ui.txtUser, typed);
        QCOMPARE(p.ui.cbValidate->isEnabled(), enabled);
        QCOMPARE(p.ui.cbUndo->isEnabled(), enabled);
    }

    void pendingFrequencyKeepsTheValidateButtonAsItWas()
    {
        Page &p = open(QStringLiteral("Anna"), false, 0);
        QTest::mouseClick(p.ui.cb2m, Qt::LeftButton); // frequency edit pending
        QVERIFY(p.ui.cbUndo->isEnabled());
        type(QStringLiteral("Bernard"));
        QVERIFY(!p.ui.cbValidate->isEnabled()); // the name is not asked while the frequency is
        QTest::mouseClick(p.ui.cb15s, Qt::LeftButton); // back at the stored position
        QVERIFY(p.ui.cbValidate->isEnabled());
        QTest::mouseClick(p.ui.cb5m, Qt::LeftButton);
        QTest::mouseClick(p.ui.cbSetFrequency, Qt::LeftButton);
        QCOMPARE(prefs().integerForKey(PreferenceKeys::frequency), 4);
        QVERIFY(p.ui.cbUndo->isEnabled()); // the name is still pending
    }

    void undoPutsTheStoredValuesBack()
    {
        server->enqueue(ScriptedHttpServer::text("NOT VALIDATED"));
        Page &p = open(QStringLiteral("Anna"), true, 1);
        QVERIFY(validatedMode());
        p.ui.txtUser->setText(QStringLiteral("Bernard"));
        p.validateUser();
        QVERIFY(entryMode());
        QTest::mouseClick(p.ui.cb10m, Qt::LeftButton);
        QVERIFY(p.ui.cbUndo->isEnabled());
        QTest::mouseClick(p.ui.cbUndo, Qt::LeftButton);
        QCOMPARE(p.ui.txtUser->text(), QStringLiteral("Anna"));
        QCOMPARE(p.ui.frequencySlider->value(), 1.0f);
        QVERIFY(!p.ui.cbUndo->isEnabled());
        QVERIFY(!p.ui.cbSetFrequency->isEnabled());
        QVERIFY(entryMode()); // "validated" is now NO: the page stays in entry mode
    }

    void storedTestUserOrQuestionMarkStaysInEntryMode_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("isValidated");
        QTest::addColumn<bool>("validatedView");
        QTest::newRow("validated name") << "Anna" << true << true;
        QTest::newRow("name not validated") << "Anna" << false << false;
        QTest::newRow("test user") << "TeSt" << true << false;
        QTest::newRow("question mark") << "?" << true << false;
    }
    void storedTestUserOrQuestionMarkStaysInEntryMode()
    {
        QFETCH(QString, user);
        QFETCH(bool, isValidated);
        QFETCH(bool, validatedView);
        open(user, isValidated);
        QCOMPARE(validatedMode(), validatedView);
        QCOMPARE(entryMode(), !validatedView);
    }

    void sliderStopsAtWholePositions_data()
    {
        QTest::addColumn<double>("dragTo");
        QTest::addColumn<float>("stops");
        QTest::newRow("2.4") << 2.4 << 2.0f;
        QTest::newRow("2.5") << 2.5 << 3.0f;
        QTest::newRow("0.49") << 0.49 << 0.0f;
        QTest::newRow("beyond the end") << 7.0 << 5.0f;
    }
    void sliderStopsAtWholePositions()
    {
        QFETCH(double, dragTo);
        QFETCH(float, stops);
        Page &p = open();
        Slider *slider = p.ui.frequencySlider;
        QTest::mousePress(slider, Qt::LeftButton, {}, sliderPoint(slider, 1.0));
        QTest::mouseMove(slider, sliderPoint(slider, dragTo));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, sliderPoint(slider, dragTo));
        QCOMPARE(slider->value(), stops);
        QCOMPARE(p.ui.cbSetFrequency->isEnabled(), stops != 0.0f);
        QCOMPARE(prefs().integerForKey(PreferenceKeys::frequency), 0); // nothing stored yet
    }

    void sliderByKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<float>("stops");
        QTest::newRow("Left") << int(Qt::Key_Left) << 1.0f;
        QTest::newRow("Down") << int(Qt::Key_Down) << 1.0f;
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 1.0f;
        QTest::newRow("Right") << int(Qt::Key_Right) << 3.0f;
        QTest::newRow("Up") << int(Qt::Key_Up) << 3.0f;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 3.0f;
        QTest::newRow("Home") << int(Qt::Key_Home) << 0.0f;
        QTest::newRow("End") << int(Qt::Key_End) << 5.0f;
    }
    void sliderByKeyboard()
    {
        QFETCH(int, key);
        QFETCH(float, stops);
        Page &p = open(QString(), false, 2);
        QTest::keyClick(p.ui.frequencySlider, Qt::Key(key));
        QCOMPARE(p.ui.frequencySlider->value(), stops);
        QVERIFY(p.ui.cbSetFrequency->isEnabled());
    }

    void shortcutButtons_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("pending");
        for (int b = 0; b < 6; ++b)
            QTest::addRow("button %d, stored 5", b) << 5 << b << (b != 5);
        QTest::newRow("button 0, stored 0") << 0 << 0 << false;
    }
    void shortcutButtons()
    {
        QFETCH(int, stored);
        QFETCH(int, button);
        QFETCH(bool, pending);
        Page &p = open(QString(), false, stored);
        QPushButton *buttons[]
            = { p.ui.cb15s, p.ui.cb30s, p.ui.cb1m, p.ui.cb2m, p.ui.cb5m, p.ui.cb10m };
        QTest::mouseClick(buttons[button], Qt::LeftButton);
        QCOMPARE(p.ui.frequencySlider->value(), float(button));
        QCOMPARE(p.ui.cbSetFrequency->isEnabled(), pending);
        if (pending) {
            QTest::mouseClick(p.ui.cbSetFrequency, Qt::LeftButton);
            QCOMPARE(prefs().integerForKey(PreferenceKeys::frequency), button);
            QVERIFY(!p.ui.cbSetFrequency->isEnabled());
            QCOMPARE(preferencesOnDisk().integerForKey(PreferenceKeys::frequency), button);
        }
    }

    void writesAScreenshot()
    {
        server->enqueue(ScriptedHttpServer::text("VALIDATED"));
        Page &p = open();
        type(QStringLiteral("Jo Ann"));
        p.validateUser();
        QTest::mouseClick(p.ui.cb1m, Qt::LeftButton);
        QVERIFY(saveScreenshot(p.view(), QStringLiteral("settings1")));
    }

    void themeColourReachesTheShortcutButtons()
    {
        prefs().setString(QStringLiteral("336699"), PreferenceKeys::bg);
        Page &p = open();
        p.backgroundColorSet();
        for (QPushButton *b :
            { p.ui.cb15s, p.ui.cb30s, p.ui.cb1m, p.ui.cb2m, p.ui.cb5m, p.ui.cb10m })
            QCOMPARE(b->palette().color(QPalette::Button), QColor(0x33, 0x66, 0x99));
        prefs().removeObjectForKey(PreferenceKeys::bg);
    }
};

PEREGRIX_TEST_MAIN(TestSettings1ViewController)
#include "tst_Settings1ViewController.moc"
