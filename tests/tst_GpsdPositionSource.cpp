// GpsdPositionSource against a real gpsd fed by gpsfake, and against peers that send nonsense.
#include "GpsFake.h"
#include "GracePeriod.h"
#include "NmeaLine.h"
#include "TestEnvironment.h"
#include "WriteFile.h"

#include "platform/Clock.h"
#include "platform/GpsdPositionSource.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <gps.h>

#include <algorithm>
#include <cmath>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

Q_DECLARE_METATYPE(gps_fix_t)

namespace {

using Source = GpsdPositionSource;

// The log is a 60 s walk at 1.4 m/s on a course of 30°, from 12:00:00 UTC on 15 June 2023.
constexpr double walkSpeed = 1.4;
constexpr double walkCourse = 30.0;
constexpr int walkSeconds = 60;
constexpr int epochMs = 1000; // one fix a second
constexpr qint64 walkStart = 1686830400; // 2023-06-15T12:00:00Z

QGeoCoordinate walkAt(double seconds)
{
    const double metres = walkSpeed * seconds;
    const double course = qDegreesToRadians(walkCourse);
    return { 51.5 + metres * std::cos(course) / 111320.0,
        -0.12 + metres * std::sin(course) / (111320.0 * std::cos(qDegreesToRadians(51.5))) };
}

QByteArray nmeaAngle(double value, int degreeDigits, char positive, char negative)
{
    const int degrees = int(std::abs(value));
    const double minutes = (std::abs(value) - degrees) * 60;
    return QByteArray::number(degrees).rightJustified(degreeDigits, '0')
        + QByteArray::number(minutes, 'f', 4).rightJustified(7, '0') + ','
        + (value < 0 ? negative : positive);
}

QByteArray walkLog()
{
    QByteArray log;
    for (int second = 0; second < walkSeconds; ++second) {
        const QGeoCoordinate at = walkAt(second);
        const QByteArray time = QTime(12, 0).addSecs(second).toString(u"hhmmss.00").toLatin1();
        const QByteArray where
            = nmeaAngle(at.latitude(), 2, 'N', 'S') + ',' + nmeaAngle(at.longitude(), 3, 'E', 'W');
        const QByteArray knots = QByteArray::number(walkSpeed / 0.514444, 'f', 3);
        const QByteArray course = QByteArray::number(walkCourse, 'f', 1);
        log += nmeaLine("GPGGA," + time + ',' + where + ",1,08,0.9,45.0,M,47.0,M,,");
        log += nmeaLine(
            "GPRMC," + time + ",A," + where + ',' + knots + ',' + course + ",150623,,,A");
        log += nmeaLine("GPZDA," + time + ",15,06,2023,00,00");
    }
    return log;
}

gps_fix_t fix(int mode, double latitude, double longitude)
{
    gps_fix_t made;
    gps_clear_fix(&made);
    made.mode = mode;
    made.latitude = latitude;
    made.longitude = longitude;
    made.time = { walkStart, 500'000'000 };
    return made;
}

QGeoPositionInfo expected(const QGeoCoordinate &coordinate,
    std::initializer_list<std::pair<QGeoPositionInfo::Attribute, double>> values,
    const QDateTime &time = QDateTime::fromMSecsSinceEpoch(walkStart * 1000 + 500, Qt::UTC))
{
    QGeoPositionInfo info(coordinate, time);
    for (const auto &[attribute, value] : values)
        info.setAttribute(attribute, value);
    return info;
}

const QByteArray goodFix
    = R"({"class":"TPV","device":"x","mode":2,"time":"2024-01-02T03:04:05.000Z",)"
      R"("lat":10.5,"lon":20.25,"epx":3.0,"epy":4.0})"
      "\n";

} // namespace

class TestGpsdPositionSource : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_log;
    GpsFake m_gpsd; // shared by the tests that need gpsd to be there throughout
    QString m_port;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(QStringLiteral("/usr/bin/gpsfake")).isExecutable(),
            "gpsfake is missing: run scripts/install-deps");
        QVERIFY(m_dir.isValid());
        m_log = m_dir.filePath(QStringLiteral("walk.nmea"));
        QVERIFY(writeFile(m_log, walkLog()));
        const quint16 port = GpsFake::freePort();
        QVERIFY2(m_gpsd.start(m_log, port, m_dir.path()), qPrintable(m_gpsd.output()));
        m_port = QString::number(port);
    }
    void cleanupTestCase() { m_gpsd.stop(); }
    void cleanup() { Clock::resetTime(); }

    void positionFromFix_data()
    {
        QTest::addColumn<gps_fix_t>("fix");
        QTest::addColumn<QGeoPositionInfo>("position");
        using A = QGeoPositionInfo;
        const QGeoCoordinate at(51.5, -0.12);

        gps_fix_t full = fix(MODE_3D, 51.5, -0.12);
        full.altMSL = 45;
        full.altHAE = 92;
        full.eph = 17.1;
        full.epv = 20;
        full.speed = 1.4;
        full.track = 30;
        full.climb = 0.1;
        QTest::newRow("3D fix") << full
                                << expected(QGeoCoordinate(51.5, -0.12, 45),
                                       { { A::HorizontalAccuracy, 17.1 },
                                           { A::VerticalAccuracy, 20 }, { A::GroundSpeed, 1.4 },
                                           { A::Direction, 30 }, { A::VerticalSpeed, 0.1 } });
        gps_fix_t flat = full;
        flat.mode = MODE_2D;
        QTest::newRow("2D fix drops the heights")
            << flat
            << expected(at,
                   { { A::HorizontalAccuracy, 17.1 }, { A::GroundSpeed, 1.4 },
                       { A::Direction, 30 } });
        gps_fix_t ellipsoid = fix(MODE_3D, 51.5, -0.12);
        ellipsoid.altHAE = 92;
        QTest::newRow("ellipsoid height without sea level")
            << ellipsoid << expected(QGeoCoordinate(51.5, -0.12, 92), {});

        gps_fix_t axes = fix(MODE_2D, 51.5, -0.12);
        axes.epx = 3;
        axes.epy = 4;
        QTest::newRow("accuracy from both axes")
            << axes << expected(at, { { A::HorizontalAccuracy, 5 } });
        gps_fix_t both = axes;
        both.eph = 7;
        QTest::newRow("eph wins over the axes")
            << both << expected(at, { { A::HorizontalAccuracy, 7 } });
        gps_fix_t oneAxis = fix(MODE_2D, 51.5, -0.12);
        oneAxis.epx = 3;
        QTest::newRow("one axis is no accuracy") << oneAxis << expected(at, {});

        gps_fix_t untimed = fix(MODE_2D, 51.5, -0.12);
        untimed.time = {};
        QTest::newRow("no time stamps now")
            << untimed << expected(at, {}, QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5), Qt::UTC));

        QTest::newRow("no fix") << fix(MODE_NO_FIX, 51.5, -0.12) << QGeoPositionInfo();
        QTest::newRow("no latitude") << fix(MODE_3D, NAN, -0.12) << QGeoPositionInfo();
        QTest::newRow("latitude out of range") << fix(MODE_3D, 95, -0.12) << QGeoPositionInfo();
    }
    void positionFromFix()
    {
        QFETCH(gps_fix_t, fix);
        QFETCH(QGeoPositionInfo, position);
        Clock::setTime(QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5), Qt::UTC));
        const QGeoPositionInfo made = Source::positionFromFix(fix);
        QCOMPARE(made.timestamp(), position.timestamp());
        QCOMPARE(made, position);
    }

    void positionsFromGpsd()
    {
        Source source(QStringLiteral("127.0.0.1"), m_port);
        QSignalSpy positions(&source, &Source::positionUpdated);
        QSignalSpy errors(&source, &Source::errorOccurred);
        source.startUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(positions.count() >= 10, 30000);

        int onTheWalk = 0, estimated = 0, moving = 0, raised = 0;
        QGeoPositionInfo last;
        for (const QList<QVariant> &signal : positions) {
            last = signal.at(0).value<QGeoPositionInfo>();
            // gpsd may stamp its first fixes before it has read a date; those are not checked.
            const double second = last.timestamp().toMSecsSinceEpoch() / 1000.0 - walkStart;
            if (second < 0 || second >= walkSeconds)
                continue;
            ++onTheWalk;
            const QGeoCoordinate at = last.coordinate();
            QVERIFY2(at.distanceTo(walkAt(second)) < 2.0,
                qPrintable(at.toString() + QStringLiteral(" at ")
                    + last.timestamp().toString(Qt::ISODate)));
            // A fix made from an incomplete epoch (one sentence without the others) can lack the
            // error estimate; any that is there must be usable.
            if (last.hasAttribute(QGeoPositionInfo::HorizontalAccuracy)) {
                ++estimated;
                QVERIFY(last.attribute(QGeoPositionInfo::HorizontalAccuracy) > 0);
            }
            if (!std::isnan(at.altitude())) {
                ++raised;
                QCOMPARE(at.altitude(), 45.0);
            }
            if (last.hasAttribute(QGeoPositionInfo::GroundSpeed)) {
                ++moving;
                QVERIFY(std::abs(last.attribute(QGeoPositionInfo::GroundSpeed) - walkSpeed) < 0.01);
                QVERIFY(std::abs(last.attribute(QGeoPositionInfo::Direction) - walkCourse) < 0.1);
            }
        }
        QVERIFY2(onTheWalk >= 5 && estimated >= 3 && moving >= 3 && raised >= 3,
            qPrintable(QStringLiteral("%1 fixes on the walk: %2 with accuracy, %3 moving, "
                                      "%4 with altitude")
                           .arg(onTheWalk)
                           .arg(estimated)
                           .arg(moving)
                           .arg(raised)));
        QCOMPARE(source.lastKnownPosition(), last);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(source.error(), Source::NoError);

        source.stopUpdates();
        const int stoppedAt = positions.count();
        QTest::qWait(epochMs + gracePeriodMs);
        QCOMPARE(positions.count(), stoppedAt);

        source.requestUpdate(10000);
        QTRY_COMPARE_WITH_TIMEOUT(positions.count(), stoppedAt + 1, 10000);
        QTest::qWait(epochMs + gracePeriodMs);
        QCOMPARE(positions.count(), stoppedAt + 1);
        QCOMPARE(errors.count(), 0);
    }

    void recoversWhenGpsdComesAndGoes()
    {
        const quint16 port = GpsFake::freePort();
        Source source(QStringLiteral("127.0.0.1"), QString::number(port));
        QSignalSpy positions(&source, &Source::positionUpdated);
        QSignalSpy errors(&source, &Source::errorOccurred);
        source.startUpdates();
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
        QCOMPARE(errors.at(0).at(0).value<Source::Error>(), Source::ClosedError);
        QCOMPARE(source.error(), Source::ClosedError);
        QTest::qWait(2 * Source::reconnectInterval + gracePeriodMs);
        QCOMPARE(errors.count(), 1); // failed again meanwhile, but it is the same outage

        GpsFake gpsd;
        QVERIFY2(gpsd.start(m_log, port, m_dir.path()), qPrintable(gpsd.output()));
        QTRY_VERIFY_WITH_TIMEOUT(positions.count() >= 2, 30000);
        QCOMPARE(source.error(), Source::NoError);

        gpsd.stop();
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, 5000);
        QCOMPARE(errors.at(1).at(0).value<Source::Error>(), Source::ClosedError);
        const int before = positions.count();
        QVERIFY2(gpsd.start(m_log, port, m_dir.path()), qPrintable(gpsd.output()));
        QTRY_VERIFY_WITH_TIMEOUT(positions.count() >= before + 2, 30000);
        QCOMPARE(errors.count(), 2);
    }

    void nothingRetriesOnceNothingWantsPositions()
    {
        const quint16 port = GpsFake::freePort();
        Source source(QStringLiteral("127.0.0.1"), QString::number(port));
        QSignalSpy errors(&source, &Source::errorOccurred);
        QTcpServer listener;
        const auto expectNoAttempts = [&] {
            QVERIFY(listener.listen(QHostAddress::LocalHost, port));
            QTest::qWait(Source::reconnectInterval + gracePeriodMs);
            QVERIFY(!listener.hasPendingConnections());
            listener.close();
        };

        source.startUpdates();
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
        source.stopUpdates();
        expectNoAttempts();

        source.requestUpdate(1500);
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 3, 5000);
        QCOMPARE(errors.at(1).at(0).value<Source::Error>(), Source::ClosedError);
        QCOMPARE(errors.at(2).at(0).value<Source::Error>(), Source::UpdateTimeoutError);
        expectNoAttempts();

        source.requestUpdate(source.minimumUpdateInterval() - 1);
        QCOMPARE(errors.count(), 4);
        QCOMPARE(source.error(), Source::UpdateTimeoutError);
    }

    void nonsenseFromTheSocket_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<int>("positionCount");
        QTest::addColumn<bool>("closed");
        QTest::newRow("junk lines before a fix") << "hello\n{garbage}\n"
                + QByteArray("\0\xff\xfe\n", 4)
                + R"({"class":"TPV","mode":3,"lat":)"
                  "\n"
                + goodFix << false << 1 << false;
        QTest::newRow("other reports do not repeat the fix") << goodFix
                + R"({"class":"SKY","device":"x","hdop":0.9})"
                  "\n"
                  R"({"class":"DEVICE","path":"x","activated":0})"
                  "\n" << false << 1 << false;
        QTest::newRow("line longer than any report")
            << QByteArray(100000, 'x') << false << 0 << true;
        QTest::newRow("hang-up inside a fix")
            << QByteArray(R"({"class":"TPV","mode":3,"lat":51.)") << true << 0 << true;
        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char(i * 7919 % 251);
        QTest::newRow("binary noise") << noise << true << 0 << true;
    }
    void nonsenseFromTheSocket()
    {
        QFETCH(QByteArray, sent);
        QFETCH(bool, hangUp);
        QFETCH(int, positionCount);
        QFETCH(bool, closed);
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        connect(&peer, &QTcpServer::newConnection, &peer, [&] {
            QTcpSocket *client = peer.nextPendingConnection();
            client->write(sent);
            if (hangUp)
                client->disconnectFromHost();
        });
        Source source(QStringLiteral("127.0.0.1"), QString::number(peer.serverPort()));
        QSignalSpy positions(&source, &Source::positionUpdated);
        QSignalSpy errors(&source, &Source::errorOccurred);
        source.startUpdates();
        if (closed) {
            QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
            QCOMPARE(errors.at(0).at(0).value<Source::Error>(), Source::ClosedError);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(positions.count(), positionCount, 5000);
            QTest::qWait(gracePeriodMs);
            QCOMPARE(errors.count(), 0);
        }
        QCOMPARE(positions.count(), positionCount);
        if (positionCount > 0)
            QCOMPARE(source.lastKnownPosition().coordinate(), QGeoCoordinate(10.5, 20.25));
    }

    // A connection attempt that the network leaves unanswered must not hold up the event loop,
    // and the source may be deleted while it is still waiting.
    void unansweredConnectDoesNotBlock()
    {
        // A listener whose accept queue is full drops further connection requests unanswered.
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0
            && listen(listener, 0) == 0
            && getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        const QString port = QString::number(ntohs(address.sin_port));
        std::vector<std::unique_ptr<QTcpSocket>> queue;
        for (int i = 0; i < 3; ++i) {
            queue.push_back(std::make_unique<QTcpSocket>());
            queue.back()->connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
        }
        // The first takes the queue's one place; the others wait unanswered.
        QTRY_VERIFY(std::any_of(queue.cbegin(), queue.cend(),
            [](const auto &socket) { return socket->state() == QAbstractSocket::ConnectedState; }));

        auto source = std::make_unique<Source>(QStringLiteral("127.0.0.1"), port);
        QSignalSpy errors(source.get(), &Source::errorOccurred);
        QElapsedTimer elapsed;
        elapsed.start();
        source->requestUpdate(1500);
        QVERIFY(elapsed.elapsed() < 500);
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
        QVERIFY(elapsed.elapsed() < 2500);
        QCOMPARE(errors.at(0).at(0).value<Source::Error>(), Source::UpdateTimeoutError);

        // Deleted while its connection attempt waits, the source leaves nothing behind to run.
        source->startUpdates();
        QTest::qWait(gracePeriodMs);
        source.reset();
        QTest::qWait(gracePeriodMs);
        ::close(listener);
    }
};

PEREGRIX_TEST_MAIN(TestGpsdPositionSource)
#include "tst_GpsdPositionSource.moc"
