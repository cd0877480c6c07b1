// The request texts of the four exchanges with the tracking server.
#include "TestEnvironment.h"

#include "shared/TrackingServer.h"

#include "platform/PercentEscapes.h"

#include <QApplication>
#include <QtTest>

class TestTrackingServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void positionReport_data()
    {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("query");
        QTest::newRow("london")
            << 51.5 << -0.1275 << QStringLiteral("22 MPH")
            << QStringLiteral("u=Anna&d=dev1&lat=51.500000&long=-0.127500&when=20260306140509"
                              "&ver=v2.5&acc=65&speed=22 MPH&id=3");
        QTest::newRow("rounded to six places")
            << -33.8688197 << 151.2092956 << QStringLiteral(".")
            << QStringLiteral("u=Anna&d=dev1&lat=-33.868820&long=151.209296&when=20260306140509"
                              "&ver=v2.5&acc=65&speed=.&id=3");
        QTest::newRow("an exact tie rounds to even, as printf does")
            << 51.0078125 << -0.0078125 << QStringLiteral(".")
            << QStringLiteral("u=Anna&d=dev1&lat=51.007812&long=-0.007812&when=20260306140509"
                              "&ver=v2.5&acc=65&speed=.&id=3");
        QTest::newRow("zero") << 0.0 << 0.0 << QStringLiteral("n/a")
                              << QStringLiteral("u=Anna&d=dev1&lat=0.000000&long=0.000000"
                                                "&when=20260306140509&ver=v2.5&acc=65&speed=n/a"
                                                "&id=3");
    }
    void positionReport()
    {
        QFETCH(double, lat);
        QFETCH(double, lon);
        QFETCH(QString, speed);
        QFETCH(QString, query);
        TrackingServer::PositionReport report;
        report.user = QStringLiteral("Anna");
        report.device = QStringLiteral("dev1");
        report.latitude = lat;
        report.longitude = lon;
        report.when = QStringLiteral("20260306140509");
        report.version = QStringLiteral("v2.5");
        report.accuracy = 65;
        report.speed = speed;
        report.id = 3;
        QCOMPARE(TrackingServer::positionReportText(QStringLiteral("http://h/"), report),
            QStringLiteral("http://h/log.php?") + query);
    }

    void valuesAreNotEscapedOneByOne()
    {
        TrackingServer::PositionReport report;
        report.user = QStringLiteral("a&b=c d");
        report.speed = QStringLiteral("10.0 m/sec");
        const QString text
            = TrackingServer::positionReportText(QStringLiteral("http://h/"), report);
        QVERIFY(text.startsWith(QLatin1String("http://h/log.php?u=a&b=c d&d=&lat=")));
        QVERIFY(addingPercentEscapes(text).contains(QLatin1String("u=a&b=c%20d&d=")));
        QVERIFY(addingPercentEscapes(text).contains(QLatin1String("&speed=10.0%20m/sec&id=0")));
    }

    void lateReportAppendsTheFlag()
    {
        QCOMPARE(TrackingServer::lateReportText(QStringLiteral("http://h/log.php?u=a&id=4")),
            QStringLiteral("http://h/log.php?u=a&id=4&Late=Y"));
    }

    void validationAndAccountRequests()
    {
        QCOMPARE(TrackingServer::validationText(
                     QStringLiteral("http://h/"), QStringLiteral("?"), QStringLiteral("abc")),
            QStringLiteral("http://h/log.php?u=?&d=abc"));
        QCOMPARE(TrackingServer::accountInfoText(
                     QStringLiteral("http://h/"), QStringLiteral("abc"), QStringLiteral("v2.5")),
            QStringLiteral("http://h/getmyinfo.php?d=abc&ver=v2.5"));
    }
};

PEREGRIX_TEST_MAIN(TestTrackingServer)
#include "tst_TrackingServer.moc"
