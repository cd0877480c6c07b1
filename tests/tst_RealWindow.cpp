// The real program in a real window, driven only through the window system: pointer and keys
// go in through XTest (xdotool), and what a person would notice comes out: the preferences
// file, the requests the server received, and the pixels on the screen. Run by
// run-real-window.sh, under an X server and in a network namespace of the test's own, where
// the scripted server answers at the server address built into the program.
#include "ScriptedHttpServer.h"
#include "TextContrast.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// The window has no frame (no window manager) and opens at the screen's corner. Pages lie below
// the 44-pixel navigation bar.
constexpr int barHeight = 44;
const QPoint settingsButton(280, 22);
const QPoint doneButton(250, 22);
const QPoint pageControlRight(205, 473); // right of the current dot: one page on
// The program is another process, with no signal of its own for an animation's end: a test
// waits for the animation's length, then for the last frame to be drawn.
constexpr int curlMs = 1000;
constexpr int scrollMs = 300;
constexpr int lastFrameMs = 300;

QPoint onPage(int x, int y)
{
    return { x, barHeight + y };
}

QByteArray xdotool(const QStringList &arguments, int timeoutMs = 10000)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    const bool done = tool.waitForFinished(timeoutMs) && tool.exitCode() == 0;
    [&] { QVERIFY2(done, qPrintable(arguments.join(' ') + ": " + tool.readAllStandardError())); }();
    return tool.readAllStandardOutput();
}

// What a window manager sends when the user closes a window: WM_DELETE_WINDOW in a
// WM_PROTOCOLS message.
void askToClose(xcb_window_t window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    QVERIFY(x11);
    xcb_connection_t *connection = x11->connection();
    const auto atom = [connection](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    };
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(
        connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
}

// Colours as a dark desktop theme writes them for Qt's KDE platform theme to read, with the
// settings of an X11 session of that desktop.
const char darkColourScheme[] = R"([Colors:Button]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252
[Colors:Selection]
BackgroundNormal=61,174,233
ForegroundNormal=252,252,252
[Colors:Tooltip]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252
[Colors:View]
BackgroundNormal=27,30,32
ForegroundNormal=252,252,252
ForegroundInactive=161,169,177
[Colors:Window]
BackgroundNormal=42,46,50
ForegroundNormal=252,252,252
ForegroundInactive=161,169,177
[General]
ColorScheme=BreezeDark
)";

void moveTo(QPoint at)
{
    xdotool({ "mousemove", QString::number(at.x()), QString::number(at.y()) });
}

void click(QPoint at)
{
    moveTo(at);
    xdotool({ "click", "1" });
    QTest::qWait(150);
}

void drag(QPoint from, QPoint to)
{
    moveTo(from);
    xdotool({ "mousedown", "1" });
    for (int step = 1; step <= 8; ++step) {
        moveTo(from + (to - from) * step / 8);
        QTest::qWait(15);
    }
    xdotool({ "mouseup", "1" });
}

void key(const QString &name)
{
    xdotool({ "key", name });
    QTest::qWait(100);
}

QImage screen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// The page a page control shows as current: its dot is the dark one.
int currentDot(const QImage &shot, int pages)
{
    const double left = 110 + (100 - (16.0 * (pages - 1) + 7)) / 2 + 3.5;
    int darkest = -1;
    int darkness = 256;
    for (int i = 0; i < pages; ++i) {
        const int grey = qGray(shot.pixel(int(left + 16 * i), 473));
        if (grey < darkness) {
            darkness = grey;
            darkest = i;
        }
    }
    return darkest;
}

// The history page has its "Send Missing" button where the tracking page shows only its
// background.
bool showsHistory(const QImage &shot)
{
    return QColor(shot.pixel(onPage(160, 375))) != QColor(255, 255, 0);
}

// Where the texts of each page lie, in the page's own coordinates: captions, values, a field, a
// table's first row.
struct PageTexts
{
    QString page;
    QList<QRect> texts;
};

const QList<PageTexts> textsOfEveryPage {
    { QStringLiteral("tracking"),
        { { 10, 52, 300, 22 }, { 10, 134, 300, 22 }, { 10, 240, 300, 22 }, { 10, 302, 70, 22 } } },
    { QStringLiteral("history"), { { 0, 0, 320, 22 }, { 0, 22, 320, 35 } } },
    { QStringLiteral("account"),
        { { 10, 6, 200, 20 }, { 10, 32, 88, 28 }, { 100, 32, 210, 28 }, { 10, 140, 300, 18 },
            { 10, 232, 200, 20 } } },
    { QStringLiteral("options"),
        { { 10, 14, 300, 22 }, { 10, 72, 300, 16 }, { 10, 110, 240, 22 } } },
    { QStringLiteral("information"), { { 0, 0, 320, 22 }, { 0, 22, 300, 30 } } },
    { QStringLiteral("colour"),
        { { 10, 4, 200, 22 }, { 102, 30, 116, 28 }, { 102, 76, 70, 18 }, { 10, 356, 300, 20 } } },
};

} // namespace

class TestRealWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    std::unique_ptr<ScriptedHttpServer> server;
    QProcess app;
    QString serverPath; // the path of the built-in server address, "/" or deeper

    // The first request line of a report as "Test".
    [[nodiscard]] QByteArray reportStart() const
    {
        return "GET " + serverPath.toUtf8() + "log.php?u=Test&d=";
    }

    [[nodiscard]] QString prefsFile() const
    {
        return home.filePath(QStringLiteral(".config/Peregrix/Peregrix.conf"));
    }
    [[nodiscard]] QVariant pref(const QString &key) const
    {
        return QSettings(prefsFile(), QSettings::IniFormat).value(key);
    }

    // How the program is started: as it is, on a dark desktop, or under gdb, which prints each
    // background state the tracking screen is told.
    enum class Run { Plain, DarkDesktop, Watched };

    void start(const QVariantMap &preferences = {}, Run run = Run::Plain)
    {
        QFile::remove(prefsFile());
        {
            QSettings settings(prefsFile(), QSettings::IniFormat);
            for (auto it = preferences.cbegin(); it != preferences.cend(); ++it)
                settings.setValue(it.key(), it.value());
        }
        QFile::remove(home.filePath(".config/kdeglobals"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(".config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(".local/share"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (run == Run::DarkDesktop) {
            QFile scheme(home.filePath(".config/kdeglobals"));
            QVERIFY(scheme.open(QIODevice::WriteOnly) && scheme.write(darkColourScheme) > 0);
            environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
            environment.insert(QStringLiteral("KDE_SESSION_VERSION"), QStringLiteral("5"));
        }
        app.setProcessEnvironment(environment);
        const QStringList arguments { QStringLiteral("-location"),
            QStringLiteral("nmea:" DEMO_TRACK) };
        if (run == Run::Watched) {
            app.setProcessChannelMode(QProcess::MergedChannels);
            app.start(QStringLiteral("gdb"),
                QStringList { "-q", "-nx", "-batch", "-ex", "set pagination off", "-ex",
                    "set disable-randomization off", "-ex",
                    "dprintf MainViewController::switchToBackgroundMode,\"told %d\\n\", "
                    "background",
                    "-ex", "run", "--args", PEREGRIX }
                    + arguments);
        } else {
            app.setProcessChannelMode(QProcess::ForwardedChannels);
            app.start(QStringLiteral(PEREGRIX), arguments);
        }
        QVERIFY(app.waitForStarted());
        xdotool({ "search", "--sync", "--onlyvisible", "--name", "^Peregrix$" }, 60000);
        QTest::qWait(700); // painted, and the first position in
    }

    void toSettings()
    {
        click(settingsButton);
        QTest::qWait(curlMs + lastFrameMs);
    }

    void toColourPage()
    {
        toSettings();
        for (int page = 0; page < 3; ++page) {
            click(pageControlRight);
            QTest::qWait(scrollMs + lastFrameMs);
        }
        QCOMPARE(currentDot(screen(), 4), 3);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        QVERIFY(QDir().mkpath(home.filePath(".config")));
        const QUrl builtIn(QStringLiteral(PEREGRIX_BASE_URL));
        const QHostAddress address = builtIn.host() == QLatin1String("localhost")
            ? QHostAddress(QHostAddress::LocalHost)
            : QHostAddress(builtIn.host());
        if (!address.isLoopback())
            QSKIP(qPrintable(QStringLiteral("the program is built for the server %1, which this "
                                            "test cannot stand in for on its loopback")
                                 .arg(builtIn.toString())));
        const auto port = quint16(builtIn.port(80));
        server = std::make_unique<ScriptedHttpServer>(address, port);
        QVERIFY2(server->port() == port, qPrintable(builtIn.authority() + " is taken"));
        serverPath = builtIn.path();
    }

    void cleanup()
    {
        app.terminate();
        app.waitForFinished(5000);
        server->setResponder({});
    }

    void newUserTracksAsTest()
    {
        start();
        toSettings();
        click(onPage(260, 79)); // "Use Test"
        QTRY_COMPARE(pref(QStringLiteral("user")).toString(), QStringLiteral("Test"));
        QCOMPARE(pref(QStringLiteral("validated")).toBool(), true);
        click(doneButton);
        QTest::qWait(curlMs + lastFrameMs);
        click(onPage(107, 313)); // the updates switch
        QTRY_VERIFY_WITH_TIMEOUT(!server->requestLines().isEmpty()
                && server->requestLines().last().startsWith(reportStart()),
            10000);
    }

    // The tracking screen hears of the launch's activation once, however late the window
    // system reports it, and nothing of closing the window, which ends the program.
    void launchAndCloseTellTheTrackingScreenOnce()
    {
        start({}, Run::Watched);
        QTest::qWait(2000);
        const auto told = [this] {
            QStringList lines;
            for (const QByteArray &line : app.readAll().split('\n')) {
                if (line.startsWith("told "))
                    lines << QString::fromLatin1(line.mid(5));
            }
            return lines;
        };
        QCOMPARE(told(), QStringList { "0" });
        const QByteArray found
            = xdotool({ "search", "--onlyvisible", "--name", "^Peregrix$" }).trimmed();
        askToClose(xcb_window_t(found.split('\n').first().toULong()));
        QVERIFY(app.waitForFinished(20000));
        QCOMPARE(told(), QStringList {});
        QCOMPARE(app.exitCode(), 0);
    }

    // Every switch curls from what was shown to what will be shown, the first one included.
    // Curling up, the old side lifts from the bottom, so its top stays longest; curling down,
    // the new side comes down from the top, so the old one's lower part stays longest.
    void switchingSidesCurlsFromWhatWasShown()
    {
        start();
        const QRect top(0, 0, 320, barHeight);
        const QRect low(0, 380, 320, 50);
        const QImage mainSide = screen();
        for (const auto &[button, watched] :
            { std::pair(settingsButton, top), std::pair(doneButton, low) }) {
            const QImage before = screen().copy(watched);
            moveTo(button);
            xdotool({ "click", "1" });
            for (int frame = 0; frame < 3; ++frame) {
                QCOMPARE(screen().copy(watched), before);
                QTest::qWait(20);
            }
            QTest::qWait(curlMs + lastFrameMs);
            QVERIFY(screen().copy(watched) != before);
        }
        QCOMPARE(screen().copy(top), mainSide.copy(top));
    }

    // The brightness bar lies under the navigation bar's by-line: every part of it takes a
    // press, and "Set Colour" stores each colour.
    void brightnessBarAlongItsHeight()
    {
        start();
        toColourPage();
        QStringList stored;
        for (const QPoint at : { QPoint(40, 385), QPoint(90, 395), QPoint(140, 405),
                 QPoint(190, 415), QPoint(240, 422) }) {
            click(onPage(at.x(), at.y()));
            click(onPage(266, 44)); // "Set Colour"
            const QString bg = pref(QStringLiteral("bg")).toString();
            QVERIFY2(!bg.isEmpty() && !stored.contains(bg),
                qPrintable(stored.join(' ') + QLatin1String(" then ") + bg));
            stored << bg;
        }
    }

    // A sideways drag pages wherever it starts: on the colour picker, on the account
    // information table. A drag up or down on the picker is the picker's.
    void sidewaysDragsPageEverySettingsPage()
    {
        start();
        toColourPage();
        const QRect hex(onPage(102, 30), QSize(116, 28));
        const QImage hexBefore = screen().copy(hex);
        drag(onPage(160, 200), onPage(170, 330)); // down the colour matrix
        QTest::qWait(scrollMs + lastFrameMs);
        QCOMPARE(currentDot(screen(), 4), 3);
        QVERIFY(screen().copy(hex) != hexBefore);
        drag(onPage(40, 250), onPage(290, 250)); // across it
        QTest::qWait(scrollMs + lastFrameMs);
        QCOMPARE(currentDot(screen(), 4), 2);
        drag(onPage(290, 100), onPage(40, 110)); // across the information table
        QTest::qWait(scrollMs + lastFrameMs);
        QCOMPARE(currentDot(screen(), 4), 3);
    }

    // On a dark desktop every page keeps its own colours: its texts stand out from what they
    // lie on. The system's own dialog follows the desktop, which shows that it is dark.
    void everyPageReadsOnADarkDesktop()
    {
        server->setResponder([](const QByteArray &line) {
            if (line.contains("getmyinfo.php"))
                return ScriptedHttpServer::text("Name,Test|Device,This computer");
            return ScriptedHttpServer::text(line.contains("lat=") ? "OK" : "USERNAME IN USE");
        });
        start({ { QStringLiteral("user"), QStringLiteral("Test") },
                  { QStringLiteral("validated"), true }, { QStringLiteral("sendauto"), true } },
            Run::DarkDesktop);
        QTRY_VERIFY_WITH_TIMEOUT(!server->requestLines().isEmpty(), 10000);
        QTest::qWait(lastFrameMs);
        QStringList faint;
        const auto check = [&](const PageTexts &page) {
            const QImage shot = screen();
            for (const QRect &text : page.texts) {
                const double contrast = textContrast(shot, text.translated(0, barHeight));
                if (contrast < 4.5)
                    faint << QStringLiteral("%1 at %2,%3: %4:1")
                                 .arg(page.page)
                                 .arg(text.x())
                                 .arg(text.y())
                                 .arg(contrast, 0, 'f', 1);
            }
        };
        check(textsOfEveryPage[0]);
        drag(onPage(290, 200), onPage(40, 200));
        QTest::qWait(scrollMs + lastFrameMs);
        check(textsOfEveryPage[1]);
        toSettings();
        check(textsOfEveryPage[2]);
        // A name the server refuses with a message: the alert is the system's own dialog.
        click(onPage(200, 46));
        key(QStringLiteral("ctrl+a"));
        xdotool({ "type", "Anna" });
        click(onPage(150, 79)); // "Validate"
        QTest::qWait(500);
        // It opens over the middle of the window, left of its button.
        QVERIFY2(qGray(screen().pixel(90, 215)) < 80, "the desktop's dialog is not dark");
        key(QStringLiteral("Return"));
        QTest::qWait(lastFrameMs);
        for (int page = 3; page < 6; ++page) {
            click(pageControlRight);
            QTest::qWait(scrollMs + lastFrameMs);
            if (page == 4) {
                click(onPage(160, 375)); // "Get My Info"
                QTest::qWait(500);
            }
            check(textsOfEveryPage[page]);
        }
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QLatin1String("; "))));
    }

    void pagingByTapDragAndWheel()
    {
        start();
        const QPoint content = onPage(160, 200);
        drag(onPage(290, 200), onPage(40, 200));
        QTest::qWait(scrollMs + lastFrameMs);
        QImage shot = screen();
        QCOMPARE(currentDot(shot, 2), 1);
        QVERIFY(showsHistory(shot));
        moveTo(content);
        xdotool({ "click", "4" }); // wheel up: the page before
        QTest::qWait(scrollMs + lastFrameMs);
        shot = screen();
        QCOMPARE(currentDot(shot, 2), 0);
        QVERIFY(!showsHistory(shot));
        click(pageControlRight);
        QTest::qWait(scrollMs + lastFrameMs);
        shot = screen();
        QCOMPARE(currentDot(shot, 2), 1);
        QVERIFY(showsHistory(shot));
    }

    // Every page as a person first meets it, written where PEREGRIX_SCREENSHOTS says (the
    // README's pictures come from scripts/screenshots) or into the build folder.
    void screenshotsOfEveryPage()
    {
        server->setResponder([](const QByteArray &line) {
            return ScriptedHttpServer::text(line.contains("getmyinfo.php")
                    ? "Name,Test|Device,This computer|Reports today,1"
                    : "OK");
        });
        start({ { QStringLiteral("user"), QStringLiteral("Test") },
            { QStringLiteral("validated"), true }, { QStringLiteral("sendauto"), true },
            { QStringLiteral("sendspeed"), true },
            { QStringLiteral("bg"), QStringLiteral("9FD3F5") } });
        QTRY_VERIFY_WITH_TIMEOUT(!server->requestLines().isEmpty(), 10000);
        QTest::qWait(1500);
        const QString dir = qEnvironmentVariable("PEREGRIX_SCREENSHOTS",
            QStringLiteral(QT_TESTCASE_BUILDDIR "/screenshots/real-window"));
        QVERIFY(QDir().mkpath(dir));
        QList<QImage> shots;
        const auto shoot = [&](const QString &name) {
            const QImage shot = screen().copy(0, 0, 320, 480);
            QVERIFY2(!shots.contains(shot), qPrintable(name + " looks like another page"));
            shots << shot;
            QVERIFY(shot.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
        };
        shoot(QStringLiteral("tracking"));
        drag(onPage(290, 200), onPage(40, 200));
        QTest::qWait(scrollMs + lastFrameMs);
        shoot(QStringLiteral("history"));
        toSettings();
        shoot(QStringLiteral("settings-account"));
        for (const QString &page : { QStringLiteral("settings-options"),
                 QStringLiteral("settings-information"), QStringLiteral("settings-colour") }) {
            click(pageControlRight);
            QTest::qWait(scrollMs + lastFrameMs);
            if (page == QLatin1String("settings-information")) {
                click(onPage(160, 375)); // "Get Info"
                QTest::qWait(500);
            }
            shoot(page);
        }
    }

    void frequencySliderByKeyboard()
    {
        start({ { QStringLiteral("frequency"), 2 } });
        toSettings();
        const auto thumb = [](int stop) { return onPage(10 + 12 + stop * 276 / 5, 271); };
        const QPoint setFrequency = onPage(160, 344);
        click(thumb(2)); // focus, value unchanged
        key(QStringLiteral("Left"));
        click(setFrequency);
        QTRY_COMPARE(pref(QStringLiteral("frequency")).toInt(), 1);
        click(thumb(1));
        key(QStringLiteral("Page_Up"));
        key(QStringLiteral("Up"));
        click(setFrequency);
        QTRY_COMPARE(pref(QStringLiteral("frequency")).toInt(), 3);
        click(thumb(3));
        key(QStringLiteral("End"));
        click(setFrequency);
        QTRY_COMPARE(pref(QStringLiteral("frequency")).toInt(), 5);
    }
};

QTEST_MAIN(TestRealWindow)
#include "tst_RealWindow.moc"
