// The tracking screen against a tracking server that misbehaves: it must keep running, count
// honestly, and never take a broken reply for an acknowledgement.
#include "DemoTrack.h"
#include "ExchangeTimeout.h"
#include "GracePeriod.h"
#include "Preferences.h"
#include "ScriptedTrackingServer.h"
#include "TestEnvironment.h"
#include "TrackingScreen.h"

#include <QApplication>
#include <QtTest>

using Reply = ScriptedHttpServer::Reply;

class TestMisbehavingServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        useDemoTrack();
        setReporting();
    }

    void misbehaviour_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("line");
        const QString pending = QStringLiteral("1 Sends : 0 OK : 0 Failed : 1 Pending : 0 Stored");
        const QString failed = QStringLiteral("1 Sends : 0 OK : 1 Failed : 0 Pending : 0 Stored");
        QTest::newRow("never answers") << ScriptedHttpServer::neverAnswer() << "Sending" << pending;
        Reply cut;
        cut.raw = "HTTP/1.1 200 OK\r\nContent-Length: 50\r\nConnection: close\r\n\r\nOK1";
        QTest::newRow("closes mid-reply") << cut << "Sending" << pending;
        QTest::newRow("closes at once")
            << ScriptedHttpServer::closeAtOnce() << "Sending" << pending;
        // Too large to keep, so not "OK": failed, with nothing to show.
        QTest::newRow("1 MiB and more")
            << ScriptedHttpServer::text("OK1" + QByteArray(UrlExchange::maxBodySize, ' ')) << ""
            << failed;
        QTest::newRow("endless chunks")
            << ScriptedHttpServer::chunked("OK1" + QByteArray(4 * UrlExchange::maxBodySize, 'K'))
            << "" << failed;
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage += char((i * 131 + 7) % 256);
        QTest::newRow("binary garbage") << ScriptedHttpServer::text(garbage) << "" << failed;
        Reply slow = ScriptedHttpServer::text("OK1");
        slow.kind = Reply::Trickle;
        slow.delayMs = 30;
        QTest::newRow("slowly, byte by byte")
            << slow << "OK" << QStringLiteral("1 Sends : 1 OK : 0 Failed : 0 Pending : 0 Stored");
    }
    void misbehaviour()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, status);
        QFETCH(QString, line);
        const ExchangeTimeout timeout(std::chrono::seconds(8));
        ScriptedTrackingServer server;
        server.setDefaultReply(reply);
        TrackingScreen screen(TrackingScreen::TimerRuns);
        screen.position(51.5, -0.12);
        // The screen's own one-second timer makes the report and keeps ticking meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(!server.requestLines().isEmpty(), 5000);
        const QString before = screen.ui.labTimeNow->text();
        QTRY_VERIFY_WITH_TIMEOUT(screen.ui.labTimeNow->text() != before, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(screen.ui.labSends->text(), line, 15000);
        QTest::qWait(gracePeriodMs);
        QCOMPARE(screen.ui.labStatus->text(), status);
        QCOMPARE(screen.ui.labSends->text(), line);
    }
};

PEREGRIX_TEST_MAIN(TestMisbehavingServer)
#include "tst_MisbehavingServer.moc"
