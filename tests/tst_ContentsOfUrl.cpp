// The synchronous fetch: it blocks the calling thread outright and returns text or an error.
#include "ExchangeTimeout.h"
#include "ScriptedHttpServer.h"
#include "TestEnvironment.h"

#include "platform/ContentsOfUrl.h"

#include <QApplication>
#include <QtTest>

using Reply = ScriptedHttpServer::Reply;

class TestContentsOfUrl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replies_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("text"); // null: an error is expected
        QTest::newRow("validated")
            << ScriptedHttpServer::text("VALIDATED") << QStringLiteral("VALIDATED");
        QTest::newRow("UTF-8") << ScriptedHttpServer::text("USERGrüße")
                               << QStringLiteral("USERGrüße");
        QTest::newRow("404 body") << ScriptedHttpServer::text("NOT VALIDATED", 404)
                                  << QStringLiteral("NOT VALIDATED");
        QTest::newRow("empty") << ScriptedHttpServer::text("") << QStringLiteral("");
        QTest::newRow("not UTF-8") << ScriptedHttpServer::text("USER\xff\xfe") << QString();
        QTest::newRow("over 1 MiB")
            << ScriptedHttpServer::chunked(QByteArray(UrlExchange::maxBodySize + 1, 'a'))
            << QString();
        QTest::newRow("closed") << ScriptedHttpServer::closeAtOnce() << QString();
    }
    void replies()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, text);
        ScriptedHttpServer server;
        server.setDefaultReply(reply); // also for a repeat of the GET on a fresh connection
        QString error = QStringLiteral("untouched");
        const QString result = contentsOfUrl(QUrl(server.baseUrl() + "log.php?u=?&d=x"), &error);
        QCOMPARE(result, text);
        QCOMPARE(result.isNull(), text.isNull());
        QCOMPARE(error.isEmpty(), !text.isNull());
        QCOMPARE(server.requestLines().first(), QByteArray("GET /log.php?u=?&d=x HTTP/1.1"));
    }

    void blocksTheEventLoopWhileWaiting()
    {
        ScriptedHttpServer server;
        Reply slow = ScriptedHttpServer::text("VALIDATED");
        slow.delayMs = 400;
        server.enqueue(slow);
        int fired = 0;
        QTimer::singleShot(10, [&] { ++fired; });
        QElapsedTimer clock;
        clock.start();
        QString error;
        const QString text = contentsOfUrl(QUrl(server.baseUrl() + "log.php"), &error);
        QVERIFY(clock.elapsed() >= 350);
        QCOMPARE(text, QStringLiteral("VALIDATED"));
        QCOMPARE(fired, 0); // due long ago, but no event was processed while we waited
        QTRY_COMPARE(fired, 1);
    }

    void serverThatNeverAnswersEndsAfterTheTimeOut()
    {
        const ExchangeTimeout timeout(std::chrono::milliseconds(500));
        ScriptedHttpServer server;
        server.setDefaultReply(ScriptedHttpServer::neverAnswer());
        QElapsedTimer clock;
        clock.start();
        QString error;
        QVERIFY(contentsOfUrl(QUrl(server.baseUrl() + "getmyinfo.php"), &error).isNull());
        QVERIFY(!error.isEmpty());
        QVERIFY(clock.elapsed() >= 450);
        QVERIFY(clock.elapsed() < 5000);
    }

    void slowTrickleIsCutAtTheTimeOut()
    {
        const ExchangeTimeout timeout(std::chrono::milliseconds(600));
        ScriptedHttpServer server;
        Reply trickle = ScriptedHttpServer::text(QByteArray(100, 'a'));
        trickle.kind = Reply::Trickle;
        trickle.delayMs = 50;
        server.enqueue(trickle);
        QString error;
        QVERIFY(contentsOfUrl(QUrl(server.baseUrl() + "x"), &error).isNull());
        QVERIFY(!error.isEmpty());
    }
};

PEREGRIX_TEST_MAIN(TestContentsOfUrl)
#include "tst_ContentsOfUrl.moc"
