// Asynchronous loading over real HTTP on 127.0.0.1: bodies whatever the status, failures,
// the size limit, the time-out, and several exchanges at once.
#include "ExchangeTimeout.h"
#include "GracePeriod.h"
#include "ScriptedHttpServer.h"
#include "TestEnvironment.h"

#include "platform/PercentEscapes.h"
#include "platform/UrlConnection.h"

#include <QApplication>
#include <QTcpServer>
#include <QtTest>

#include <map>

using Reply = ScriptedHttpServer::Reply;

namespace {

struct Exchange
{
    QStringList events;
    QList<int> statuses;
    QByteArray body;
    QString error;
    bool ended = false;
};

// Keeps each connection's reply apart, as the screens do.
class Recorder : public UrlConnectionDelegate
{
public:
    std::map<QString, Exchange> byUrl;
    QStringList finishOrder;

    Exchange &of(UrlConnection *c) { return byUrl[c->url().toString()]; }
    void connectionDidReceiveResponse(UrlConnection *c, int status) override
    {
        of(c).events << "response";
        of(c).statuses << status;
        of(c).body.clear();
    }
    void connectionDidReceiveData(UrlConnection *c, const QByteArray &data) override
    {
        of(c).events << "data";
        of(c).body += data;
    }
    void connectionDidFinishLoading(UrlConnection *c) override
    {
        of(c).events << "finish";
        of(c).ended = true;
        finishOrder << c->url().path();
    }
    void connectionDidFailWithError(UrlConnection *c, const QString &error) override
    {
        of(c).events << "fail";
        of(c).error = error;
        of(c).ended = true;
    }
};

} // namespace

class TestUrlConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outcomes_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("finishes");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray mib(UrlExchange::maxBodySize, 'x');
        QTest::newRow("ok with id")
            << ScriptedHttpServer::text("OK3") << true << QByteArray("OK3") << 200;
        QTest::newRow("404 body is a reply")
            << ScriptedHttpServer::text("Not here", 404) << true << QByteArray("Not here") << 404;
        QTest::newRow("500 body is a reply") << ScriptedHttpServer::text("~Server down", 500)
                                             << true << QByteArray("~Server down") << 500;
        // Qt turns some statuses into errors of its own; each is still an answer with a body.
        for (int status : { 400, 403, 407, 418, 503, 302 }) {
            const QByteArray body = "~~stop " + QByteArray::number(status);
            QTest::addRow("%d body is a reply", status)
                << ScriptedHttpServer::text(body, status) << true << body << status;
        }
        QTest::newRow("204 has no body")
            << ScriptedHttpServer::text("OK1", 204) << true << QByteArray() << 204;
        QTest::newRow("empty body") << ScriptedHttpServer::text("") << true << QByteArray() << 200;
        QTest::newRow("chunked") << ScriptedHttpServer::chunked("OK5") << true << QByteArray("OK5")
                                 << 200;
        QTest::newRow("binary") << ScriptedHttpServer::text(QByteArray("\0\xff\x80OK", 5)) << true
                                << QByteArray("\0\xff\x80OK", 5) << 200;
        QTest::newRow("exactly 1 MiB") << ScriptedHttpServer::text(mib) << true << mib << 200;
        // Too large to keep: the body is let go, and the reply ends empty.
        QTest::newRow("announced over 1 MiB")
            << ScriptedHttpServer::text(mib + "y") << true << QByteArray() << 200;
        QTest::newRow("chunked over 1 MiB")
            << ScriptedHttpServer::chunked(mib + mib, 400) << true << QByteArray() << 400;
        QTest::newRow("closed without a byte")
            << ScriptedHttpServer::closeAtOnce() << false << QByteArray() << 0;
        Reply cut;
        cut.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nOK12";
        QTest::newRow("closed mid-reply") << cut << false << QByteArray() << 0;
        Reply nonsense;
        nonsense.raw = "\x16\x03\x01 this is no HTTP at all\r\n\r\n";
        QTest::newRow("not HTTP") << nonsense << false << QByteArray() << 0;
    }
    void outcomes()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, finishes);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        ScriptedHttpServer server;
        // The network layer may try a GET again on a fresh connection: answer it the same way.
        server.setDefaultReply(reply);
        Recorder recorder;
        UrlConnection::start(QUrl(server.baseUrl() + "log.php?id=1"), &recorder);
        QTRY_VERIFY_WITH_TIMEOUT(
            !recorder.byUrl.empty() && recorder.byUrl.begin()->second.ended, 20000);
        const Exchange &e = recorder.byUrl.begin()->second;
        QCOMPARE(e.events.last(), finishes ? QStringLiteral("finish") : QStringLiteral("fail"));
        QCOMPARE(e.events.count("finish") + e.events.count("fail"), 1);
        if (finishes) {
            QCOMPARE(e.events.first(), QStringLiteral("response"));
            QCOMPARE(e.statuses.last(), status);
            QCOMPARE(e.body, body);
        } else {
            QVERIFY(!e.error.isEmpty());
        }
    }

    void redirects_data()
    {
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<bool>("finishes");
        QTest::addColumn<int>("requests");
        QTest::newRow("followed") << QByteArray("/moved") << true << 2;
        QTest::newRow("in a loop")
            << QByteArray("/log.php") << false << UrlExchange::maxRedirects + 1;
        QTest::newRow("to another scheme") << QByteArray("ftp://127.0.0.1/") << false << 1;
    }
    void redirects()
    {
        QFETCH(QByteArray, location);
        QFETCH(bool, finishes);
        QFETCH(int, requests);
        ScriptedHttpServer server;
        Reply moved;
        moved.raw = "HTTP/1.1 302 Found\r\nLocation: " + location
            + "\r\nContent-Length: 5\r\nConnection: close\r\n\r\nMoved";
        server.setResponder([moved](const QByteArray &line) {
            return line.startsWith("GET /moved ") ? ScriptedHttpServer::text("OK1") : moved;
        });
        Recorder recorder;
        UrlConnection::start(QUrl(server.baseUrl() + "log.php"), &recorder);
        QTRY_VERIFY_WITH_TIMEOUT(
            !recorder.byUrl.empty() && recorder.byUrl.begin()->second.ended, 10000);
        const Exchange &e = recorder.byUrl.begin()->second;
        QCOMPARE(e.events.last(), finishes ? QStringLiteral("finish") : QStringLiteral("fail"));
        QCOMPARE(e.body, finishes ? QByteArray("OK1") : QByteArray());
        QCOMPARE(server.requestLines().size(), requests);
    }

    void requestGoesOutExactlyAsEscaped()
    {
        ScriptedHttpServer server;
        Recorder recorder;
        const QString text = addingPercentEscapes(
            server.baseUrl() + QStringLiteral("log.php?u=Jo Ann&d=a&b=c!$'()*+,;@~é&Late=Y"));
        UrlConnection::start(urlWithString(text), &recorder);
        QTRY_VERIFY(!recorder.byUrl.empty() && recorder.byUrl.begin()->second.ended);
        QCOMPARE(server.requestLines().first(),
            QByteArray("GET /log.php?u=Jo%20Ann&d=a&b=c!$'()*+,;@~%C3%A9&Late=Y HTTP/1.1"));
    }

    void severalInFlightAnswerInAnyOrder()
    {
        ScriptedHttpServer server;
        // Replies leave the server in the reverse order of the requests.
        for (int delay : { 600, 300, 0 }) {
            Reply r = ScriptedHttpServer::text("OK" + QByteArray::number(delay));
            r.delayMs = delay;
            server.enqueue(r);
        }
        Recorder recorder;
        int started = 0;
        for (const char *path : { "a", "b", "c" }) {
            UrlConnection::start(QUrl(server.baseUrl() + path), &recorder);
            ++started;
            QTRY_COMPARE(server.requestLines().size(), started);
        }
        QTRY_COMPARE_WITH_TIMEOUT(recorder.finishOrder.size(), 3, 10000);
        QCOMPARE(recorder.finishOrder, (QStringList { "/c", "/b", "/a" }));
        QCOMPARE(recorder.byUrl[server.baseUrl() + "a"].body, QByteArray("OK600"));
        QCOMPARE(recorder.byUrl[server.baseUrl() + "b"].body, QByteArray("OK300"));
        QCOMPARE(recorder.byUrl[server.baseUrl() + "c"].body, QByteArray("OK0"));
    }

    void manyConnectionsWaitTheirTurnWithoutTimingOut()
    {
        // Each reply takes two grace periods and the time-out is three: 30 requests at once
        // would time out if their clocks started before they went out.
        const ExchangeTimeout timeout(std::chrono::milliseconds(3 * gracePeriodMs));
        ScriptedHttpServer server;
        Reply slow = ScriptedHttpServer::text("OK");
        slow.delayMs = 2 * gracePeriodMs;
        server.setDefaultReply(slow);
        Recorder recorder;
        for (int i = 0; i < 30; ++i)
            UrlConnection::start(QUrl(server.baseUrl() + QString::number(i)), &recorder);
        QTRY_COMPARE(server.requestLines().size(), UrlConnection::maxConnectionsPerHost);
        QTest::qWait(gracePeriodMs); // no more before the first replies
        QCOMPARE(server.requestLines().size(), UrlConnection::maxConnectionsPerHost);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.finishOrder.size(), 30, 15000);
        for (const auto &[url, exchange] : recorder.byUrl)
            QCOMPARE(exchange.events.last(), QStringLiteral("finish"));
        QCOMPARE(server.requestLines().size(), 30);
    }

    void serverThatNeverAnswersFailsAfterTheTimeOut()
    {
        const ExchangeTimeout timeout(std::chrono::milliseconds(500));
        ScriptedHttpServer server;
        server.setDefaultReply(ScriptedHttpServer::neverAnswer());
        Recorder recorder;
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        QElapsedTimer clock;
        clock.start();
        UrlConnection::start(QUrl(server.baseUrl() + "log.php"), &recorder);
        QTRY_VERIFY_WITH_TIMEOUT(
            !recorder.byUrl.empty() && recorder.byUrl.begin()->second.ended, 5000);
        QCOMPARE(recorder.byUrl.begin()->second.events, QStringList { "fail" });
        QVERIFY(clock.elapsed() >= 450);
        QVERIFY(ticks >= 5); // the event loop kept running meanwhile
    }

    void refusedConnectionFails()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        Recorder recorder;
        UrlConnection::start(
            QUrl(QStringLiteral("http://127.0.0.1:%1/log.php").arg(port)), &recorder);
        QTRY_VERIFY(!recorder.byUrl.empty() && recorder.byUrl.begin()->second.ended);
        QCOMPARE(recorder.byUrl.begin()->second.events, QStringList { "fail" });
    }

    void cancelledConnectionSaysNothingMore()
    {
        ScriptedHttpServer server;
        Reply slow = ScriptedHttpServer::text("OK1");
        slow.delayMs = 200;
        server.enqueue(slow);
        Recorder recorder;
        UrlConnection *c = UrlConnection::start(QUrl(server.baseUrl() + "x"), &recorder);
        QTRY_COMPARE(server.requestLines().size(), 1);
        c->cancel();
        QTest::qWait(gracePeriodMs);
        QVERIFY(recorder.byUrl.empty());
    }
};

PEREGRIX_TEST_MAIN(TestUrlConnection)
#include "tst_UrlConnection.moc"
