// The real program in a real window, driven only through the window system: pointer and keys
// go in through XTest (xdotool), and what a person would notice comes out: the preferences
// file, the requests the server received, and the pixels on the screen. Run by
// run-real-window.sh, under an X server and in a network namespace of the test's own, where
// the scripted server answers at the program's built-in address, localhost:8080.
#include "ScriptedHttpServer.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

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

void xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    QVERIFY2(tool.waitForFinished(10000) && tool.exitCode() == 0,
        qPrintable(arguments.join(' ') + ": " + tool.readAllStandardError()));
}

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

} // namespace

class TestRealWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    std::unique_ptr<ScriptedHttpServer> server;
    QProcess app;

    [[nodiscard]] QString prefsFile() const
    {
        return home.filePath(QStringLiteral(".config/Peregrix/Peregrix.conf"));
    }
    [[nodiscard]] QVariant pref(const QString &key) const
    {
        return QSettings(prefsFile(), QSettings::IniFormat).value(key);
    }

    void start(const QVariantMap &preferences = {})
    {
        QFile::remove(prefsFile());
        {
            QSettings settings(prefsFile(), QSettings::IniFormat);
            for (auto it = preferences.cbegin(); it != preferences.cend(); ++it)
                settings.setValue(it.key(), it.value());
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(".config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(".local/share"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start(QStringLiteral(PEREGRIX),
            { QStringLiteral("-location"), QStringLiteral("nmea:" DEMO_TRACK) });
        QVERIFY(app.waitForStarted());
        xdotool({ "search", "--sync", "--onlyvisible", "--name", "^Peregrix$" });
        QTest::qWait(700); // painted, and the first position in
    }

    void toSettings()
    {
        click(settingsButton);
        QTest::qWait(curlMs + lastFrameMs);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        server = std::make_unique<ScriptedHttpServer>(QHostAddress(QHostAddress::LocalHost), 8080);
        QVERIFY2(server->port() == 8080, "localhost:8080 is taken");
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
                && server->requestLines().last().startsWith("GET /log.php?u=Test&d="),
            10000);
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
        toSettings();
        for (int page = 0; page < 3; ++page) {
            click(pageControlRight);
            QTest::qWait(scrollMs + lastFrameMs);
        }
        QCOMPARE(currentDot(screen(), 4), 3);
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
