// NMEA replay: what is read from a recording, and positions arriving through "-location nmea:".
#include "NmeaLine.h"
#include "TestEnvironment.h"
#include "WriteFile.h"

#include "platform/LocationManager.h"
#include "platform/LocationManagerDelegate.h"
#include "platform/NmeaEpochReader.h"
#include "platform/NmeaSentence.h"
#include "platform/PositionSources.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A ride of `count` epochs `stepMs` apart, going north from 51.5 N at 0.0001 degrees a step.
QByteArray ride(int count, int stepMs)
{
    QByteArray out;
    QTime t(10, 0, 0);
    for (int i = 0; i < count; ++i, t = t.addMSecs(stepMs)) {
        const QByteArray hms = t.toString(QStringLiteral("HHmmss.zzz")).left(9).toLatin1();
        const double minutes = 30.0 + i * 0.006;
        const QByteArray lat = "51" + QByteArray::number(minutes, 'f', 4).rightJustified(7, '0');
        out += nmeaLine("GPGGA," + hms + "," + lat + ",N,00007.8000,W,1,09,1.2,20.0,M,45.0,M,,");
        out += nmeaLine("GPRMC," + hms + ",A," + lat + ",N,00007.8000,W,10.00,0.0,060326,,,A");
    }
    return out;
}

struct Recorder : LocationManagerDelegate
{
    QList<Location> positions;
    int failures = 0;
    void locationManagerDidUpdateToLocation(
        LocationManager *, const Location &l, const Location &) override
    {
        positions << l;
    }
    void locationManagerDidFailWithError(LocationManager *, const QString &) override
    {
        ++failures;
    }
};

// The fixes of a whole recording, in order.
std::vector<NmeaEpoch> readEpochs(const QByteArray &nmea)
{
    std::vector<NmeaEpoch> epochs;
    NmeaEpochReader reader(nmea);
    while (std::optional<NmeaEpoch> epoch = reader.next())
        epochs.push_back(*epoch);
    return epochs;
}

} // namespace

class TestNmeaReplay : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        return writeFile(path, content) ? path : QString();
    }

private Q_SLOTS:
    void sentences_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("GGA") << nmeaLine("GPGGA,140509.00,5130.2700,N,00007.5919,W,1,11,0.9,,,,,,")
                             << true << QByteArray("GGA");
        QTest::newRow("GNSS talker") << nmeaLine("GNRMC,1,A") << true << QByteArray("RMC");
        QTest::newRow("no checksum")
            << QByteArray("$GPZDA,140509.00,06,03,2026,00,00") << true << QByteArray("ZDA");
        QTest::newRow("wrong checksum")
            << QByteArray("$GPGGA,140509.00,5130.2700,N*00") << false << QByteArray();
        QTest::newRow("truncated checksum") << QByteArray("$GPGGA,1,2*4") << false << QByteArray();
        QTest::newRow("no dollar") << QByteArray("GPGGA,1,2,3") << false << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\xff$\x01", 4) << false << QByteArray();
        QTest::newRow("short address") << nmeaLine("GP,1,2,3") << false << QByteArray();
    }
    void sentences()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, valid);
        QFETCH(QByteArray, type);
        const std::optional<NmeaSentence> s = NmeaSentence::parse(line);
        QCOMPARE(s.has_value(), valid);
        if (valid)
            QCOMPARE(s->type(), type);
    }

    void coordinates_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("hemisphere");
        QTest::addColumn<double>("degrees"); // NaN: not readable
        QTest::newRow("north") << QByteArray("5130.2700") << QByteArray("N") << 51.5045;
        QTest::newRow("west") << QByteArray("00007.8000") << QByteArray("W") << -0.13;
        QTest::newRow("south") << QByteArray("3348.0000") << QByteArray("S") << -33.8;
        QTest::newRow("minutes over 59") << QByteArray("5160.0000") << QByteArray("N") << qQNaN();
        QTest::newRow("beyond the pole") << QByteArray("9100.0000") << QByteArray("N") << qQNaN();
        QTest::newRow("bad hemisphere") << QByteArray("5130.0000") << QByteArray("X") << qQNaN();
        QTest::newRow("empty") << QByteArray() << QByteArray("N") << qQNaN();
        QTest::newRow("negative") << QByteArray("-5130.0000") << QByteArray("N") << qQNaN();
    }
    void coordinates()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, hemisphere);
        QFETCH(double, degrees);
        const auto s = NmeaSentence::parse(nmeaLine("GPGLL," + value + "," + hemisphere));
        QVERIFY(s);
        const std::optional<double> read = s->coordinate(1, 2, 90.0);
        QCOMPARE(read.has_value(), !qIsNaN(degrees));
        if (read)
            QVERIFY(qAbs(*read - degrees) < 1e-9);
    }

    void times_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QTime>("time"); // invalid: not readable
        QTest::newRow("hundredths") << QByteArray("140509.00") << QTime(14, 5, 9);
        QTest::newRow("milliseconds") << QByteArray("140509.123") << QTime(14, 5, 9, 123);
        QTest::newRow("whole seconds") << QByteArray("000000") << QTime(0, 0, 0);
        QTest::newRow("leap second") << QByteArray("235960.5") << QTime(23, 59, 59, 500);
        QTest::newRow("just short of a second")
            << QByteArray("235959.9999") << QTime(23, 59, 59, 999);
        QTest::newRow("hour 24") << QByteArray("240000") << QTime();
        QTest::newRow("too short") << QByteArray("14050") << QTime();
        QTest::newRow("negative hour") << QByteArray("-10000") << QTime();
        QTest::newRow("seconds past 60") << QByteArray("140561") << QTime();
        QTest::newRow("seconds not a number") << QByteArray("1405nan") << QTime();
        QTest::newRow("infinite seconds") << QByteArray("1405inf") << QTime();
    }
    void times()
    {
        QFETCH(QByteArray, field);
        QFETCH(QTime, time);
        const auto s = NmeaSentence::parse(nmeaLine("GPGGA," + field));
        QVERIFY(s);
        const std::optional<QTime> read = s->time(1);
        QCOMPARE(read.has_value(), time.isValid());
        if (read)
            QCOMPARE(*read, time);
    }

    void accuracyComesFromAUsableDilution_data()
    {
        QTest::addColumn<QByteArray>("hdop");
        QTest::addColumn<double>("accuracy"); // NaN: the position has none
        QTest::newRow("typical") << QByteArray("1.2") << 6.0;
        QTest::newRow("poor") << QByteArray("99.9") << 499.5;
        QTest::newRow("zero") << QByteArray("0.0") << qQNaN();
        QTest::newRow("negative") << QByteArray("-1.0") << qQNaN();
        QTest::newRow("empty") << QByteArray() << qQNaN();
        QTest::newRow("not a number") << QByteArray("nan") << qQNaN();
        QTest::newRow("overflows in metres") << QByteArray("1e308") << qQNaN();
    }
    void accuracyComesFromAUsableDilution()
    {
        QFETCH(QByteArray, hdop);
        QFETCH(double, accuracy);
        const auto epochs = readEpochs(
            nmeaLine("GPGGA,100000.00,5130.0000,N,00007.8000,W,1,09," + hdop + ",,,,,,"));
        QCOMPARE(int(epochs.size()), 1); // the position counts either way
        const QGeoPositionInfo &info = epochs.front().info;
        QCOMPARE(info.hasAttribute(QGeoPositionInfo::HorizontalAccuracy), !qIsNaN(accuracy));
        if (!qIsNaN(accuracy))
            QCOMPARE(info.attribute(QGeoPositionInfo::HorizontalAccuracy), accuracy);
    }

    void demoTrackIsReadWhole()
    {
        QFile f(QStringLiteral(DEMO_TRACK));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const auto epochs = readEpochs(f.readAll());
        QCOMPARE(int(epochs.size()), 300); // the last epoch too
        for (const auto &e : epochs) {
            const QGeoPositionInfo &info = e.info;
            QVERIFY(qAbs(info.coordinate().latitude() - 51.5045) < 0.01);
            const double accuracy = info.attribute(QGeoPositionInfo::HorizontalAccuracy);
            QVERIFY2(accuracy >= 4.5 && accuracy <= 7.5, qPrintable(QString::number(accuracy)));
            const double speed = info.attribute(QGeoPositionInfo::GroundSpeed);
            QVERIFY2(speed > 3.0 && speed < 6.5, qPrintable(QString::number(speed)));
        }
        QCOMPARE(epochs[1].timeOfDay, QTime(14, 5, 10));
    }

    void epochsWithoutAFixOrWithBadSentencesAreSkipped()
    {
        QByteArray nmea = ride(3, 1000);
        nmea += nmeaLine("GPGGA,100003.00,5130.0000,N,00007.8000,W,0,00,,,,,,,"); // no fix
        nmea += nmeaLine("GPRMC,100004.00,V,5130.0000,N,00007.8000,W,,,060326,,,N");
        nmea += "$GPGGA,100005.00,5130.0000,N,00007.8000,W,1,09,1.0,,,,,,*00\r\n"; // bad sum
        nmea += "random text\n\n";
        nmea += nmeaLine("GPGGA,100006.00,5131.0000,N,00007.8000,W,1,09,2.0,,,,,,");
        const auto epochs = readEpochs(nmea);
        QCOMPARE(int(epochs.size()), 4);
        QCOMPARE(epochs.back().timeOfDay, QTime(10, 0, 6));
        QCOMPARE(epochs.back().info.attribute(QGeoPositionInfo::HorizontalAccuracy), 10.0);
        QVERIFY(!epochs.back().info.hasAttribute(QGeoPositionInfo::GroundSpeed));
        QVERIFY(qAbs(epochs[0].info.attribute(QGeoPositionInfo::GroundSpeed) - 5.1444) < 0.001);
    }

    void replaysAtTheRecordedPaceAndLoops()
    {
        const QString file = write("ride.nmea", ride(4, 100));
        LocationManager::setSourceOption(QStringLiteral("nmea:") + file);
        LocationManager manager;
        Recorder recorder;
        manager.setDelegate(&recorder);
        manager.setDesiredAccuracy(LocationManager::kCLLocationAccuracyBest);
        manager.startUpdatingLocation();
        QVERIFY(manager.locationServicesEnabled());
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.positions.size() >= 6, 10000);
        // Four epochs 100 ms apart, a second's pause, and the first epoch again.
        QVERIFY(clock.elapsed() >= 1000);
        QCOMPARE(recorder.positions[4].latitude, recorder.positions[0].latitude);
        QVERIFY(recorder.positions[1].latitude > recorder.positions[0].latitude);
        QCOMPARE(recorder.positions[0].horizontalAccuracy, 6.0);
        QVERIFY(qAbs(recorder.positions[0].speed - 5.1444) < 0.001);
        QCOMPARE(recorder.failures, 0);
    }

    void unusableRecordingMeansNoLocationService_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("missing file") << QStringLiteral("nmea:/nonexistent/ride.nmea");
        QTest::newRow("no fixes") << QStringLiteral("nmea:") + write("empty.nmea", "hello\n");
    }
    void unusableRecordingMeansNoLocationService()
    {
        QFETCH(QString, option);
        LocationManager::setSourceOption(option);
        LocationManager manager;
        Recorder recorder;
        manager.setDelegate(&recorder);
        manager.startUpdatingLocation();
        QVERIFY(!manager.locationServicesEnabled());
        QCOMPARE(recorder.failures, 1);
    }

    void sourceOptions_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("valid");
        QTest::newRow("system") << "system" << true;
        QTest::newRow("nmea") << "nmea:/tmp/a.nmea" << true;
        QTest::newRow("nmea with colon in path") << "nmea:/tmp/a:b.nmea" << true;
        QTest::newRow("nmea without file") << "nmea:" << false;
        QTest::newRow("serial") << "serial:/dev/ttyUSB0" << true;
        QTest::newRow("serial with baud") << "serial:/dev/ttyUSB0:4800" << true;
        QTest::newRow("serial bad baud") << "serial:/dev/ttyUSB0:fast" << false;
        QTest::newRow("gpsd") << "gpsd" << true;
        QTest::newRow("gpsd host") << "gpsd:gps.local" << true;
        QTest::newRow("gpsd host port") << "gpsd:localhost:2947" << true;
        QTest::newRow("gpsd bad port") << "gpsd:localhost:99999" << false;
        QTest::newRow("unknown") << "bluetooth" << false;
        QTest::newRow("empty") << "" << false;
    }
    void sourceOptions()
    {
        QFETCH(QString, option);
        QFETCH(bool, valid);
        QCOMPARE(PositionSources::isValidOption(option), valid);
    }

    void missingSerialDeviceMeansNoLocationService()
    {
        QVERIFY(!PositionSources::create(QStringLiteral("serial:/nonexistent/ttyUSB9")));
        LocationManager manager(nullptr, nullptr);
        QVERIFY(!manager.locationServicesEnabled());
    }
};

PEREGRIX_TEST_MAIN(TestNmeaReplay)
#include "tst_NmeaReplay.moc"
