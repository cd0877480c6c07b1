// The position history: entries and their marks, rows, the late resend as it reaches a server
// on 127.0.0.1, and one report followed from the tracking screen to its green "OK".
#include "ExchangeTimeout.h"
#include "GracePeriod.h"
#include "Outlet.h"
#include "Preferences.h"
#include "Screenshot.h"
#include "ScriptedTrackingServer.h"
#include "TestEnvironment.h"
#include "TrackingScreen.h"

#include "history/Main2ViewController.h"

#include "shared/NotificationNames.h"

#include "platform/Clock.h"
#include "platform/LocationManager.h"
#include "platform/NotificationCenter.h"
#include "platform/Reachability.h"
#include "platform/widgets/ActivityIndicator.h"
#include "platform/widgets/TableView.h"
#include "platform/widgets/TableViewCell.h"

#include <QApplication>
#include <QLabel>
#include <QtTest>

#include <optional>

namespace {

// A report's request text as the tracking screen builds it.
QString report(int id, const QString &base = QStringLiteral("http://127.0.0.1:1/"))
{
    return base
        + QStringLiteral("log.php?u=Jo Ann&d=dev&lat=51.500000&long=-0.127500"
                         "&when=20260306140509&ver=v2.5&acc=65&speed=22 MPH&id=%1")
              .arg(id);
}

void post(const QString &name, const QString &object)
{
    NotificationCenter::defaultCenter().postNotificationName(name, object);
}

// Counts the rows the table asks for.
class CountingHistory : public Main2ViewController
{
public:
    int cellsAskedFor = 0;
    std::unique_ptr<TableViewCell> tableViewCellForRowAtIndexPath(
        TableView *table, const IndexPath &path) override
    {
        ++cellsAskedFor;
        return Main2ViewController::tableViewCellForRowAtIndexPath(table, path);
    }
};

} // namespace

class TestMain2ViewController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedTrackingServer> server;
    std::unique_ptr<CountingHistory> history;
    QStringList oks;

    CountingHistory &open()
    {
        history = std::make_unique<CountingHistory>();
        history->view();
        return *history;
    }
    QStringList marks() const { return Main2ViewController::sentOKItems(); }
    [[nodiscard]] TableView *table() const
    {
        return outlet<TableView>(history->view(), "tvLocations");
    }
    QList<QLabel *> labelsOf(int row)
    {
        TableViewCell cell(QStringLiteral("any-cell"));
        history->modCell(&cell, row);
        const auto labels = cell.findChildren<QLabel *>();
        QList<QLabel *> copies;
        for (QLabel *l : labels) {
            auto *copy = new QLabel(l->text());
            copy->setGeometry(l->geometry());
            copy->setFont(l->font());
            copy->setPalette(l->palette());
            copy->setAutoFillBackground(l->autoFillBackground());
            copies << copy;
        }
        return copies;
    }

private Q_SLOTS:
    void initTestCase()
    {
        NotificationCenter::defaultCenter().addObserver(NotificationNames::LocationOK, this,
            [this](const Notification &n) { oks << n.object.toString(); });
    }

    void init()
    {
        server = std::make_unique<ScriptedTrackingServer>();
        oks.clear();
    }

    void cleanup()
    {
        history.reset();
        server.reset();
        Clock::resetTime();
    }

    void emptyHistory()
    {
        CountingHistory &h = open();
        QCOMPARE(table()->numberOfSections(), 1);
        QCOMPARE(table()->numberOfRowsInSection(0), 0);
        QCOMPARE(table()->titleForHeaderInSection(0), QStringLiteral("Position History"));
        QCOMPARE(table()->rowHeight(), 35);
        QVERIFY(outlet<ActivityIndicator>(h.view(), "aivActivity")->isHidden());
        h.sendMissing();
        post(NotificationNames::LocationOK, "OK"); // nothing to mark
        QVERIFY(marks().isEmpty());
        QTest::qWait(gracePeriodMs);
        QVERIFY(server->requestLines().isEmpty());
    }

    void historyStartsEmptyWithEveryScreen()
    {
        open();
        post(NotificationNames::LocationSent, report(1));
        QCOMPARE(Main2ViewController::urlItems().size(), 1);
        open();
        QVERIFY(Main2ViewController::urlItems().isEmpty());
    }

    void entriesAndIds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("id");
        QTest::newRow("report") << report(17) << "17";
        QTest::newRow("user name with &: parts by position")
            << report(4).replace("u=Jo Ann", "u=A&B") << "ed=22 MPH";
        QTest::newRow("eight parts") << QStringLiteral("http://h/log.php?u=a&b&c&d&e&f&g&h") << "";
        QTest::newRow("no parts") << QStringLiteral("rubbish") << "";
        QTest::newRow("short ninth part") << QStringLiteral("a&b&c&d&e&f&g&h&i") << "";
    }
    void entriesAndIds()
    {
        QFETCH(QString, text);
        QFETCH(QString, id);
        open();
        post(NotificationNames::LocationSent, text);
        QCOMPARE(Main2ViewController::urlItems(), QStringList { text });
        QCOMPARE(Main2ViewController::idItems(), QStringList { id });
        QCOMPARE(marks(), QStringList { QString() });
        QCOMPARE(table()->numberOfRowsInSection(0), 1);
    }

    void acknowledgements_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("marked");
        const QString ok = QStringLiteral("OK");
        QTest::newRow("bare OK marks the newest") << "OK" << QStringList { "", "", "", ok };
        QTest::newRow("O alone marks the newest") << "O" << QStringList { "", "", "", ok };
        QTest::newRow("id marks the oldest with it") << "OK5" << QStringList { ok, "", "", "" };
        QTest::newRow("other id") << "OK6" << QStringList { "", ok, "", "" };
        QTest::newRow("unknown id") << "OK99" << QStringList { "", "", "", "" };
        QTest::newRow("trailing line break") << "OK6\n" << QStringList { "", "", "", "" };
        QTest::newRow("blank after id") << "OK6 " << QStringList { "", "", "", "" };
        QTest::newRow("id is case-sensitive") << "OKx" << QStringList { "", "", "", "" };
    }
    void acknowledgements()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, marked);
        open();
        for (int id : { 5, 6, 5, 7 })
            post(NotificationNames::LocationSent, report(id));
        post(NotificationNames::LocationOK, reply);
        QCOMPARE(marks(), marked);
        post(NotificationNames::LocationOK, reply); // an acknowledged entry stays so
        QCOMPARE(marks(), marked);
    }

    void longHistoryKeepsEveryTextAndFindsEachId()
    {
        // Enough entries to fill several storage chunks and grow the id index many times, with a
        // text outside Latin-1, one larger than a chunk and a repeated id among them.
        CountingHistory &h = open();
        QStringList texts;
        for (int id = 1; id <= 20'000; ++id)
            texts << report(id);
        texts[7'000].replace("Jo Ann", QStringLiteral("Łukasz"));
        texts[12'000].replace("Jo Ann", QString(1'500'000, u'a'));
        texts[15'000] = report(3);
        for (const QString &text : std::as_const(texts))
            h.addLocation(text);
        QCOMPARE(Main2ViewController::urlItems(), texts);
        for (const char *reply : { "OK3", "OK7001", "OK12001", "OK19999", "OK20001" })
            post(NotificationNames::LocationOK, reply);
        const QStringList shown = marks();
        QCOMPARE(shown.count(QStringLiteral("OK")), 4);
        for (int entry : { 2, 7'000, 12'000, 19'998 })
            QCOMPARE(shown[entry], QStringLiteral("OK"));
    }

    void rows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("report") << report(3)
                                << QStringList { "Time:2026-03-06 14:05:09", "lat=51.500000",
                                       "long=-0.127500", "Accuracy=65m", "speed=22 MPH", "X" };
        QTest::newRow("short when shown as it stands")
            << QStringLiteral("http://h/log.php?u=a&d=b&lat=1&long=2&when=2026&ver=v&acc=3"
                              "&speed=.&id=1")
            << QStringList { "Time:2026", "lat=1", "long=2", "Accuracy=3m", "speed=.", "X" };
        QTest::newRow("no ?") << QStringLiteral("http://h/log.php") << QStringList();
        QTest::newRow("two ?") << report(1) + "?x" << QStringList();
        QTest::newRow("seven parts")
            << QStringLiteral("h?u&d&lat&long&when&ver&acc") << QStringList();
    }
    void rows()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, labels);
        open();
        post(NotificationNames::LocationSent, text);
        const QList<QLabel *> shown = labelsOf(0);
        QStringList texts;
        for (QLabel *l : shown)
            texts << l->text();
        QCOMPARE(texts, labels);
        qDeleteAll(shown);
    }

    void rowLabelsLookAsDesigned()
    {
        open();
        post(NotificationNames::LocationSent, report(3));
        post(NotificationNames::LocationSent, report(4));
        post(NotificationNames::LocationOK, "OK3");
        const QList<QRect> frames { { 5, 0, 150, 15 }, { 5, 15, 100, 15 }, { 90, 15, 200, 15 },
            { 180, 15, 310, 15 }, { 180, 0, 310, 15 }, { 280, 0, 290, 15 } };
        for (int row : { 0, 1 }) {
            const QList<QLabel *> labels = labelsOf(row);
            QCOMPARE(labels.size(), 6);
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(labels[i]->geometry(), frames[i]);
                QCOMPARE(labels[i]->font().family(), QStringLiteral("Helvetica"));
                QCOMPARE(labels[i]->font().pixelSize(), 12);
                QVERIFY(!labels[i]->autoFillBackground());
            }
            QCOMPARE(labels[5]->text(), row == 0 ? QStringLiteral("OK") : QStringLiteral("X"));
            QCOMPARE(labels[5]->palette().color(QPalette::WindowText),
                row == 0 ? QColor(0, 255, 0) : QColor(255, 0, 0));
            qDeleteAll(labels);
        }
    }

    void resendGoesOutByteForByteAndMarksOnOK()
    {
        CountingHistory &h = open();
        post(NotificationNames::LocationSent, report(1, server->baseUrl()));
        post(NotificationNames::LocationSent, report(2, server->baseUrl()));
        post(NotificationNames::LocationOK, "OK2");
        server->enqueue(ScriptedHttpServer::text("OK1", 400));
        h.sendMissing();
        QTRY_COMPARE(oks, (QStringList { "OK2", "OK1" }));
        QCOMPARE(server->requestLines(),
            QList<QByteArray> { "GET /log.php?u=Jo%20Ann&d=dev&lat=51.500000&long=-0.127500"
                                "&when=20260306140509&ver=v2.5&acc=65&speed=22%20MPH&id=1"
                                "&Late=Y HTTP/1.1" });
        QCOMPARE(marks(), (QStringList { "OK", "OK" }));
        h.sendMissing(); // all acknowledged: nothing more goes out
        QTest::qWait(gracePeriodMs);
        QCOMPARE(server->requestLines().size(), 1);
    }

    void resendTwiceSendsEveryUnacknowledgedReportTwice()
    {
        server->setDefaultReply(ScriptedHttpServer::neverAnswer());
        CountingHistory &h = open();
        for (int id = 1; id <= 3; ++id)
            post(NotificationNames::LocationSent, report(id, server->baseUrl()));
        post(NotificationNames::LocationOK, "OK2");
        h.sendMissing();
        h.sendMissing(); // the first requests are still waiting: sent again all the same
        QTRY_COMPARE(server->requestLines().size(), 4);
        QStringList ids;
        for (const QByteArray &line : server->requestLines())
            ids << QString::fromLatin1(line.mid(line.indexOf("&id=") + 4, 1));
        ids.sort();
        QCOMPARE(ids, (QStringList { "1", "1", "3", "3" }));
    }

    // More entries than requests go out at once: the rest follow as replies come or fail.
    void resendOfALongHistorySendsEachEntryOnce_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("each acknowledged") << true;
        QTest::newRow("each timed out") << false;
    }
    void resendOfALongHistorySendsEachEntryOnce()
    {
        QFETCH(bool, answered);
        std::optional<ExchangeTimeout> timeout;
        if (answered) {
            server->setResponder([](const QByteArray &line) {
                const qsizetype at = line.indexOf("&id=") + 4;
                return ScriptedHttpServer::text("OK" + line.mid(at, line.indexOf('&', at) - at));
            });
        } else {
            server->setDefaultReply(ScriptedHttpServer::neverAnswer());
            timeout.emplace(std::chrono::milliseconds(100));
        }
        CountingHistory &h = open();
        constexpr int entries = 40;
        QStringList expected;
        for (int id = 1; id <= entries; ++id) {
            post(NotificationNames::LocationSent, report(id, server->baseUrl()));
            expected << QString::number(id);
        }
        h.sendMissing();
        QTRY_COMPARE(server->requestLines().size(), entries);
        QTRY_COMPARE(marks().count(QStringLiteral("OK")), answered ? entries : 0);
        QTest::qWait(gracePeriodMs);
        QStringList ids;
        for (const QByteArray &line : server->requestLines())
            ids << QString::fromLatin1(line.mid(line.indexOf("&id=") + 4).split('&').first());
        ids.sort();
        expected.sort();
        QCOMPARE(ids, expected);
    }

    void failedOrRefusedResendsChangeNothing_data()
    {
        QTest::addColumn<ScriptedHttpServer::Reply>("reply");
        QTest::newRow("refusal") << ScriptedHttpServer::text("~not yours");
        QTest::newRow("lower case ok") << ScriptedHttpServer::text("ok1");
        QTest::newRow("not ASCII") << ScriptedHttpServer::text("OK1\xff");
        QTest::newRow("closed") << ScriptedHttpServer::closeAtOnce();
        QTest::newRow("OK and more than 1 MiB")
            << ScriptedHttpServer::text("OK1" + QByteArray(UrlExchange::maxBodySize, ' '));
    }
    void failedOrRefusedResendsChangeNothing()
    {
        QFETCH(ScriptedHttpServer::Reply, reply);
        server->setDefaultReply(reply);
        CountingHistory &h = open();
        post(NotificationNames::LocationSent, report(1, server->baseUrl()));
        h.sendMissing();
        QTRY_VERIFY(!server->requestLines().isEmpty());
        QTest::qWait(gracePeriodMs);
        QVERIFY(oks.isEmpty());
        QCOMPARE(marks(), QStringList { QString() });
    }

    void noNetworkNoResend()
    {
        CountingHistory &h = open();
        post(NotificationNames::LocationSent, report(1, server->baseUrl()));
        Reachability::setTestAnswer(Reachability::Reachable | Reachability::ConnectionRequired);
        h.sendMissing();
        QTest::qWait(gracePeriodMs);
        QVERIFY(server->requestLines().isEmpty());
    }

    void rowsAreDrawn()
    {
        CountingHistory &h = open();
        post(NotificationNames::LocationSent, report(1));
        post(NotificationNames::LocationSent, report(2));
        post(NotificationNames::LocationOK, "OK2");
        h.view()->resize(320, 436);
        h.view()->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.view()));
        const QImage shot = h.view()->grab().toImage();
        QVERIFY(saveScreenshot(shot, QStringLiteral("history-rows")));
        // The red "X" of the first row and the green "OK" of the second, where their labels are.
        auto hasColour = [&](QRect area, auto test) {
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (test(shot.pixelColor(x, y)))
                        return true;
            return false;
        };
        const int top = TableView::sectionHeaderHeight;
        QVERIFY(hasColour(
            QRect(280, top, 30, 15), [](QColor c) { return c.red() > 200 && c.green() < 80; }));
        QVERIFY(hasColour(QRect(280, top + 35, 30, 15),
            [](QColor c) { return c.green() > 200 && c.red() < 80; }));
        QVERIFY(hasColour(QRect(5, top, 150, 15), [](QColor c) { return c.lightness() < 80; }));
    }

    void tableAsksOnlyForTheRowsOnScreen()
    {
        CountingHistory &h = open();
        for (int id = 1; id <= 100'000; ++id)
            h.addLocation(report(id));
        QCOMPARE(table()->numberOfRowsInSection(0), 100'000);
        h.view()->resize(320, 400);
        h.cellsAskedFor = 0;
        (void)h.view()->grab();
        QVERIFY2(h.cellsAskedFor > 0 && h.cellsAskedFor <= 12,
            qPrintable(QString::number(h.cellsAskedFor)));
    }

    void oneReportFromTheTrackingScreenToItsGreenOK()
    {
        // The main side as it is built: the tracking screen, then the history, both listening.
        LocationManager::setSourceOption(QStringLiteral("nmea:/nonexistent"));
        setReporting();
        TrackingScreen tracking;
        CountingHistory &h = open();

        Reachability::setTestAnswer(Reachability::Flags()); // stored for lack of network
        tracking.position(51.5, -0.1275, 8, -1);
        tracking.handleTimer();
        QCOMPARE(tracking.ui.labStatus->text(), QStringLiteral("Stored"));
        QCOMPARE(Main2ViewController::idItems(), QStringList { "1" });
        QCOMPARE(marks(), QStringList { QString() });

        Reachability::setTestAnswer(Reachability::Reachable);
        server->enqueue(ScriptedHttpServer::text("OK1"));
        QTest::mouseClick(outlet<QPushButton>(h.view(), "cbSendMissing"), Qt::LeftButton);
        QTRY_COMPARE(marks(), QStringList { "OK" });
        QVERIFY(server->requestLines().first().contains("&id=1&Late=Y "));
        QCOMPARE(tracking.ui.labSends->text(),
            QStringLiteral("0 Sends : 0 OK : 0 Failed : 0 Pending : 1 Stored"));
        const QList<QLabel *> labels = labelsOf(0);
        QCOMPARE(labels.last()->text(), QStringLiteral("OK"));
        QCOMPARE(labels.last()->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        qDeleteAll(labels);
    }
};

PEREGRIX_TEST_MAIN(TestMain2ViewController)
#include "tst_Main2ViewController.moc"
