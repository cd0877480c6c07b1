// The tracking screen's rules without the screen: the texts of positions and speeds, the
// once-a-second decision of what the message line says and when a report goes, and what a
// reply does to the run.
#include "tracking/PositionFormat.h"
#include "tracking/PositionReport.h"
#include "tracking/SendScheduler.h"

#include <QtTest>

class TestTrackingRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void coordinates_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("51.5 dms") << 1 << 51.5 << QStringLiteral("51\u2218 30' 0\"");
        QTest::newRow("-0.1275 dms loses its sign")
            << 1 << -0.1275 << QStringLiteral("0\u2218 7' 39\"");
        QTest::newRow("-33.5 dms") << 1 << -33.5 << QStringLiteral("-33\u2218 30' 0\"");
        QTest::newRow("-33.8 dms cuts") << 1 << -33.8 << QStringLiteral("-33\u2218 47' 59\"");
        QTest::newRow("51.5 decimal") << 0 << 51.5 << QStringLiteral("51.500000");
        QTest::newRow("tie rounds to even") << 0 << 51.0078125 << QStringLiteral("51.007812");
        QTest::newRow("-0.1275 units 2") << 2 << -0.1275 << QStringLiteral("-0.127500");
        QTest::newRow("units 7 decimal") << 7 << 151.2 << QStringLiteral("151.200000");
    }
    void coordinates()
    {
        QFETCH(int, units);
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(PositionFormat::coordinateText(value, static_cast<LocationUnits>(units)), shown);
    }

    void speeds_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("shown"); // empty: no text for this unit
        QTest::newRow("MPH") << 0 << 10.0 << QStringLiteral("22 MPH");
        QTest::newRow("KPH") << 1 << 10.0 << QStringLiteral("36 KPH");
        QTest::newRow("m/sec") << 2 << 10.0 << QStringLiteral("10.0 m/sec");
        QTest::newRow("m/sec tie rounds to even") << 2 << 0.25 << QStringLiteral("0.2 m/sec");
        QTest::newRow("m/sec tie above 1") << 2 << 2.25 << QStringLiteral("2.2 m/sec");
        QTest::newRow("zero MPH") << 0 << 0.0 << QStringLiteral("0 MPH");
        QTest::newRow("unknown MPH") << 0 << -1.0 << QStringLiteral("n/a");
        QTest::newRow("unknown KPH") << 1 << -1.0 << QStringLiteral("n/a");
        QTest::newRow("unknown m/sec") << 2 << -1.0 << QStringLiteral("n/a");
        QTest::newRow("unknown unit") << 5 << 10.0 << QString();
        QTest::newRow("absurd speed does not overflow")
            << 1 << 1e300 << QStringLiteral("2147483647 KPH");
    }
    void speeds()
    {
        QFETCH(int, unit);
        QFETCH(double, speed);
        QFETCH(QString, shown);
        const std::optional<QString> text
            = PositionFormat::speedText(speed, static_cast<SpeedUnit>(unit));
        QCOMPARE(text.value_or(QString()), shown);
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
        QTest::newRow("frequency not set")
            << true << 9 << true << true << "Update frequency is not set! " << false;
        QTest::newRow("off, frequency not set")
            << false << -1 << true << true << "Update frequency is not set! " << false;
        QTest::newRow("not validated")
            << true << 0 << false << true << "User Name has not been validated. " << false;
        QTest::newRow("not validated, no position")
            << true << 0 << false << false << "User Name has not been validated. " << false;
        QTest::newRow("no position") << true << 0 << true << false << "No GPS data. " << false;
        QTest::newRow("reports") << true << 3 << true << true << "" << true;
    }
    // The first tick of a run, the frequency read at start as the screen does.
    void tickMessages()
    {
        QFETCH(bool, switchOn);
        QFETCH(int, frequency);
        QFETCH(bool, validated);
        QFETCH(bool, hasPosition);
        QFETCH(QString, message);
        QFETCH(bool, reports);
        const qint32 seconds = SendScheduler::frequencySeconds(FrequencyPosition(frequency));
        TrackingRun run;
        run.iSavedFequency = seconds;
        run.bGPSValid = hasPosition;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const SendScheduler::Tick tick
            = SendScheduler::handleTimer(run, switchOn, validated, seconds, now, now);
        QVERIFY2(tick.message.startsWith(message), qPrintable(tick.message));
        QVERIFY2(message.isEmpty() || tick.message.size() > message.size(), "dots follow");
        QCOMPARE(tick.sendNow, reports);
        QCOMPARE(tick.nextSend.has_value(), switchOn && seconds > 0);
    }

    void dotsGrowAndShrink()
    {
        TrackingRun run;
        QList<int> lengths;
        for (int i = 0; i < 13; ++i)
            lengths << SendScheduler::fillString(run).size();
        QCOMPARE(lengths, (QList<int> { 1, 2, 3, 4, 5, 4, 3, 2, 1, 0, 1, 2, 3 }));
    }

    void nextSend_data()
    {
        QTest::addColumn<int>("frequency");
        QTest::addColumn<QDateTime>("lastSend"); // local time
        QTest::addColumn<QString>("shown");
        const QDateTime noon(QDate(2026, 6, 1), QTime(12, 0, 0));
        QTest::newRow("0") << 0 << noon << "12:00:15 (every 15 secs)";
        QTest::newRow("1") << 1 << noon << "12:00:30 (every 30 secs)";
        QTest::newRow("2") << 2 << noon << "12:01:00 (every 1 min)";
        QTest::newRow("3") << 3 << noon << "12:02:00 (every 2 mins)";
        QTest::newRow("4") << 4 << noon << "12:05:00 (every 5 mins)";
        QTest::newRow("5") << 5 << noon << "12:10:00 (every 10 mins)";
        // The clocks go forward at 01:00: the next report is shown in summer time.
        QTest::newRow("into summer time")
            << 0 << QDateTime(QDate(2026, 3, 29), QTime(0, 59, 55)) << "02:00:10 (every 15 secs)";
    }
    // "asap" until the first report; then the last one's time and the frequency.
    void nextSend()
    {
        QFETCH(int, frequency);
        QFETCH(QDateTime, lastSend);
        QFETCH(QString, shown);
        const qint32 seconds = SendScheduler::frequencySeconds(FrequencyPosition(frequency));
        TrackingRun run;
        run.iSavedFequency = seconds;
        const QDateTime last = lastSend.toUTC();
        const QString every = shown.mid(shown.indexOf(u'('));
        SendScheduler::Tick tick
            = SendScheduler::handleTimer(run, true, false, seconds, last, last);
        QCOMPARE(tick.nextSend.value_or(QString()), QStringLiteral("asap ") + every);
        run.bFirstSendDone = true;
        tick = SendScheduler::handleTimer(run, true, false, seconds, last, last.addSecs(1));
        QCOMPARE(tick.nextSend.value_or(QString()), shown);
    }

    // Each moment shows in the offset of its own minute, whatever was shown just before: across
    // the changes to and from summer time, and once the system's zone has changed.
    void clockAcrossOffsetChanges()
    {
        const auto utc = [](int month, int day, int hour, int minute, int second) {
            return QDateTime(QDate(2026, month, day), QTime(hour, minute, second), Qt::UTC);
        };
        const QList<std::pair<QDateTime, QString>> shown = {
            { utc(3, 29, 0, 59, 59), "00:59:59" },
            { utc(3, 29, 1, 0, 0), "02:00:00" },
            { utc(3, 29, 0, 59, 30), "00:59:30" },
            { utc(10, 25, 0, 59, 59), "01:59:59" },
            { utc(10, 25, 1, 0, 0), "01:00:00" },
        };
        for (const auto &[moment, text] : shown)
            QCOMPARE(SendScheduler::clockText(moment), text);
        const QByteArray zone = qgetenv("TZ");
        const auto restore = qScopeGuard([&zone] { qputenv("TZ", zone); });
        qputenv("TZ", "Asia/Tokyo");
        QCOMPARE(SendScheduler::clockText(utc(10, 25, 1, 1, 0)), "10:01:00");
    }

    // A report is due only once more than the frequency has passed since the last one.
    void dueAfterTheFrequency_data()
    {
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<bool>("due");
        QTest::newRow("at 15 s") << 15'000 << false;
        QTest::newRow("just past 15 s") << 15'001 << true;
    }
    void dueAfterTheFrequency()
    {
        QFETCH(int, afterMs);
        QFETCH(bool, due);
        TrackingRun run;
        run.iSavedFequency = 15;
        run.bGPSValid = run.bFirstSendDone = true;
        const QDateTime last = QDateTime::currentDateTimeUtc();
        QCOMPARE(
            SendScheduler::handleTimer(run, true, true, 15, last, last.addMSecs(afterMs)).sendNow,
            due);
    }

    // Each reply is counted once; only a refusal or a stop switches reporting off, only a stop
    // for the rest of the run, and a plain failure shows in the status line alone.
    void replies_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reaction"); // failed, switch off, disable, alert
        QTest::addColumn<QString>("statusLine");
        QTest::newRow("OK") << QByteArray("OK7") << "----"
                            << "2 Sends : 1 OK : 0 Failed : 1 Pending : 0 Stored";
        QTest::newRow("refusal") << QByteArray("~No") << "FS-A"
                                 << "2 Sends : 0 OK : 1 Failed : 1 Pending : 0 Stored";
        QTest::newRow("stop") << QByteArray("~~Stop") << "FSDA"
                              << "2 Sends : 0 OK : 1 Failed : 1 Pending : 0 Stored";
        QTest::newRow("failure") << QByteArray("Error") << "F---"
                                 << "2 Sends : 0 OK : 1 Failed : 1 Pending : 0 Stored";
    }
    void replies()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, reaction);
        QFETCH(QString, statusLine);
        TrackingRun run;
        run.iUpdatesSent = 2;
        const PositionReport::Reaction r
            = PositionReport::handleReply(run, ReportReply::fromBody(body));
        const QString shown = QString(r.failed ? u'F' : u'-') + (r.switchOff ? u'S' : u'-')
            + (r.disable ? u'D' : u'-') + (r.alert ? u'A' : u'-');
        QCOMPARE(shown, reaction);
        QCOMPARE(PositionReport::statusLine(run), statusLine);
        QCOMPARE(run.bFirstSendDone, !r.failed);
    }
};

QTEST_GUILESS_MAIN(TestTrackingRules)
#include "tst_TrackingRules.moc"
