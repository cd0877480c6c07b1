// The account information page against a server on 127.0.0.1: the request, how replies become
// sections, what failures add, and that the wait blocks the main thread.
#include "ExchangeTimeout.h"
#include "GracePeriod.h"
#include "Outlet.h"
#include "Preferences.h"
#include "Screenshot.h"
#include "ScriptedTrackingServer.h"
#include "TestEnvironment.h"

#include "settings/Settings3ViewController.h"

#include "shared/PreferenceKeys.h"

#include "platform/Reachability.h"
#include "platform/widgets/ActivityIndicator.h"
#include "platform/widgets/TableView.h"
#include "platform/widgets/TableViewCell.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using Reply = ScriptedHttpServer::Reply;

namespace {

const QString failed = QStringLiteral("Details unavailable");

// Records the spinner being shown and hidden, whether or not the page is on screen.
class SpinnerWatch : public QObject
{
public:
    QStringList seen;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ShowToParent)
            seen << QStringLiteral("shown");
        else if (event->type() == QEvent::HideToParent)
            seen << QStringLiteral("hidden");
        return false;
    }
};

// The page with its outlets, found by the names Settings3View.ui gives them.
class Page : public Settings3ViewController
{
public:
    struct Outlets
    {
        QWidget *view;
        QPushButton *cbGetInfo = outlet<QPushButton>(view, "cbGetInfo");
        ActivityIndicator *aivActivity = outlet<ActivityIndicator>(view, "aivActivity");
        TableView *tvInfo = outlet<TableView>(view, "tvInfo");
    };
    const Outlets ui { view() };
};

} // namespace

class TestSettings3ViewController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedTrackingServer> server;
    std::unique_ptr<Page> page;

    Page &open()
    {
        page = std::make_unique<Page>();
        return *page;
    }
    void getInfo(const std::optional<Reply> &reply = std::nullopt)
    {
        if (reply)
            server->enqueue(*reply);
        QTest::mouseClick(page->ui.cbGetInfo, Qt::LeftButton);
    }
    [[nodiscard]] QStringList titles() const
    {
        QStringList out;
        for (int s = 0; s < page->ui.tvInfo->numberOfSections(); ++s)
            out << page->ui.tvInfo->titleForHeaderInSection(s);
        return out;
    }
    // The text of each section's row as its cell shows it.
    [[nodiscard]] QStringList texts() const
    {
        QStringList out;
        TableView *table = page->ui.tvInfo;
        for (int s = 0; s < table->numberOfSections(); ++s) {
            const auto cell = page->tableViewCellForRowAtIndexPath(table, { s, 0 });
            const auto *label = cell->findChild<QLabel *>();
            out << (label ? label->text() : QStringLiteral("<no label>"));
        }
        return out;
    }

private Q_SLOTS:
    void init()
    {
        server = std::make_unique<ScriptedTrackingServer>();
        prefs().setString(QStringLiteral("Jo Ann's phone"), PreferenceKeys::deviceid);
    }

    void cleanup()
    {
        page.reset();
        server.reset();
    }

    void emptyUntilAskedThenOneRequestByteForByte()
    {
        Page &p = open();
        QCOMPARE(p.ui.tvInfo->numberOfSections(), 0);
        QCOMPARE(p.ui.tvInfo->rowHeight(), 30);
        QVERIFY(p.ui.aivActivity->isHidden());
        getInfo(ScriptedHttpServer::text("A,1"));
        QCOMPARE(server->requestLines(),
            QList<QByteArray> { "GET /getmyinfo.php?d=Jo%20Ann's%20phone&ver=v2.5 HTTP/1.1" });
    }

    void repliesBecomeSections_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("two items")
            << QByteArray("A,1|B,2") << 200 << QStringList { "A", "B" } << QStringList { "1", "2" };
        QTest::newRow("pieces without exactly one comma dropped") << QByteArray(
            "A,1|B|C,2,3|D,4") << 200 << QStringList { "A", "D" } << QStringList { "1", "4" };
        QTest::newRow("trailing bar")
            << QByteArray("A,1|") << 200 << QStringList { "A" } << QStringList { "1" };
        QTest::newRow("line end kept") << QByteArray("A,1|B,2\n") << 200 << QStringList { "A", "B" }
                                       << QStringList { "1", "2\n" };
        QTest::newRow("empty") << QByteArray("") << 200 << QStringList {} << QStringList {};
        QTest::newRow("blanks kept") << QByteArray(" A , 1 |B,2") << 200
                                     << QStringList { " A ", "B" } << QStringList { " 1 ", "2" };
        QTest::newRow("empty pieces")
            << QByteArray("||A,1||") << 200 << QStringList { "A" } << QStringList { "1" };
        QTest::newRow("comma alone")
            << QByteArray(",") << 200 << QStringList { "" } << QStringList { "" };
        QTest::newRow("markup is text") << QByteArray("Name,<b>Jo</b>") << 200
                                        << QStringList { "Name" } << QStringList { "<b>Jo</b>" };
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xb6\xc3\x9f"
                                             "e,\xe2\x82\xac")
                               << 200 << QStringList { "Größe" } << QStringList { "€" };
        QTest::newRow("404 with a body")
            << QByteArray("Name,Jo") << 404 << QStringList { "Name" } << QStringList { "Jo" };
    }
    void repliesBecomeSections()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, texts);
        Page &p = open();
        getInfo(ScriptedHttpServer::text("Old,0|Older,1"));
        getInfo(ScriptedHttpServer::text(body, status)); // replaces what was listed
        QCOMPARE(this->titles(), titles);
        QCOMPARE(this->texts(), texts);
        for (int s = 0; s < titles.size(); ++s) {
            QCOMPARE(p.ui.tvInfo->numberOfRowsInSection(s), 1);
            QCOMPARE(p.tableViewAccessoryTypeForRowWithIndexPath(p.ui.tvInfo, { s, 0 }),
                TableViewDataSource::AccessoryType::DisclosureIndicator);
            const auto cell = p.tableViewCellForRowAtIndexPath(p.ui.tvInfo, { s, 0 });
            QCOMPARE(cell->reuseIdentifier(), QStringLiteral("Cell"));
            QCOMPARE(cell->findChild<QLabel *>()->textFormat(), Qt::PlainText);
        }
    }

    void eachSectionShowsItsTitleAboveItsText()
    {
        Page &p = open();
        getInfo(ScriptedHttpServer::text("A,1|B,2|C,3"));
        p.view()->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.view()));
        const int header = TableView::sectionHeaderHeight, row = p.ui.tvInfo->rowHeight();
        for (int s = 0; s < 3; ++s) {
            const int top = s * (header + row);
            QVERIFY(!p.ui.tvInfo->indexPathForPoint({ 100, top + header / 2 }));
            const auto path = p.ui.tvInfo->indexPathForPoint({ 100, top + header + row / 2 });
            QVERIFY(path && path->section == s && path->row == 0);
        }
    }

    void failuresAddErrorSections_data()
    {
        QTest::addColumn<QList<Reply>>("replies");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("texts");
        const Reply notUtf8 = ScriptedHttpServer::text("A,\xff");
        const Reply tooLong
            = ScriptedHttpServer::chunked(QByteArray(UrlExchange::maxBodySize + 1, ','));
        QTest::newRow("two failures after a success")
            << QList { ScriptedHttpServer::text("A,1|B,2"), notUtf8, tooLong }
            << QStringList { "A", "B", "Error", "Error" }
            << QStringList { "1", "2", failed, failed };
        QTest::newRow("success after failures")
            << QList { notUtf8, tooLong, ScriptedHttpServer::text("C,3") } << QStringList { "C" }
            << QStringList { "3" };
        QTest::newRow("empty success after a failure")
            << QList { notUtf8, ScriptedHttpServer::text("") } << QStringList {} << QStringList {};
    }
    void failuresAddErrorSections()
    {
        QFETCH(QList<Reply>, replies);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, texts);
        open();
        for (const Reply &reply : replies)
            getInfo(reply);
        QCOMPARE(server->requestLines().size(), replies.size());
        QCOMPARE(this->titles(), titles);
        QCOMPARE(this->texts(), texts);
    }

    void nothingGoesOut_data()
    {
        QTest::addColumn<QString>("why");
        QTest::newRow("no network") << "network";
        QTest::newRow("device id that cannot be escaped") << "device";
        QTest::newRow("server address not http") << "address";
    }
    void nothingGoesOut()
    {
        QFETCH(QString, why);
        Page &p = open();
        getInfo(ScriptedHttpServer::text("A,1"));
        if (why == QLatin1String("network"))
            Reachability::setTestAnswer(Reachability::Flags());
        else if (why == QLatin1String("device"))
            prefs().setString(QString(QChar(0xD800)), PreferenceKeys::deviceid);
        else
            GlobalData::sharedGlobalData()->setUrl(QStringLiteral("ftp://127.0.0.1/"));
        getInfo(ScriptedHttpServer::text("B,2"));
        QTRY_VERIFY(p.ui.aivActivity->isHidden() && !p.ui.aivActivity->isAnimating());
        QTest::qWait(gracePeriodMs);
        QCOMPARE(server->requestLines().size(), 1);
        QCOMPARE(titles(), QStringList { "A" });
    }

    void serverThatNeverAnswersEndsInAnErrorSection()
    {
        const ExchangeTimeout timeout(std::chrono::milliseconds(500));
        server->setDefaultReply(ScriptedHttpServer::neverAnswer());
        open();
        QElapsedTimer clock;
        clock.start();
        getInfo();
        QVERIFY(clock.elapsed() >= 450);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(titles(), QStringList { "Error" });
        QCOMPARE(texts(), QStringList { failed });
    }

    void waitBlocksTheEventLoopAndTheSpinnerEndsHidden()
    {
        Page &p = open();
        SpinnerWatch watch;
        p.ui.aivActivity->installEventFilter(&watch);
        Reply slow = ScriptedHttpServer::text("A,1");
        slow.delayMs = 400;
        int fired = 0;
        QTimer::singleShot(10, [&] { ++fired; });
        QElapsedTimer clock;
        clock.start();
        getInfo(slow);
        QVERIFY(clock.elapsed() >= 350);
        QCOMPARE(fired, 0); // due long before the reply, yet no event ran meanwhile
        QVERIFY(watch.seen.isEmpty());
        QCOMPARE(titles(), QStringList { "A" });
        QTRY_COMPARE(fired, 1);
        QTRY_COMPARE(watch.seen, (QStringList { "shown", "hidden" }));
        QVERIFY(p.ui.aivActivity->isHidden());
        QVERIFY(!p.ui.aivActivity->isAnimating());
    }

    void writesAScreenshot()
    {
        prefs().setString(QStringLiteral("5FA8D3"), PreferenceKeys::bg);
        Page &p = open();
        getInfo(ScriptedHttpServer::text("Name,Jo Ann|Device,Jo Ann's phone|Reports,1234"
                                         "|Last report,2026-03-06 14:05:09|Plan,Free"));
        getInfo(ScriptedHttpServer::text("\xff"));
        QTRY_VERIFY(p.ui.aivActivity->isHidden());
        QWidget *view = p.view();
        view->resize(320, 400);
        // The table lays out its rows once it is on screen.
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        const QImage shot = view->grab().toImage();
        QVERIFY(saveScreenshot(shot, QStringLiteral("settings3")));
        QCOMPARE(shot.pixelColor(2, 395), QColor(0x5F, 0xA8, 0xD3));
    }
};

PEREGRIX_TEST_MAIN(TestSettings3ViewController)
#include "tst_Settings3ViewController.moc"
