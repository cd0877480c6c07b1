// The server's exchanges in process, on a real SQLite file or, built with
// PEREGRIX_TEST_POSTGRES, on a database of a private PostgreSQL cluster: query decoding,
// validation, reports with their refusals and duplicates, stopped devices, account information,
// routing, the operator's commands and the track formats.
#include "InProcessServer.h"
#include "PostgresCluster.h"
#include "TestEnvironment.h"

#include "OperatorCommands.h"
#include "QueryParameters.h"
#include "SqliteStatements.h"
#include "TrackFormats.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QByteArray report = "u=Jo%20Ann&d=dev-a&lat=51.500000&long=-0.127500&when=20260306140509"
                          "&ver=v2.5&acc=65&speed=22%20MPH&id=7";

} // namespace

class TestTrackingService : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
#ifdef PEREGRIX_TEST_POSTGRES
    PostgresCluster postgres;
    QString postgresDatabase;
#endif
    std::unique_ptr<InProcessServer> inProcess;

    void open(const TrackingService::Policy &policy = {})
    {
        inProcess.reset();
#ifdef PEREGRIX_TEST_POSTGRES
        postgres.emptyDatabase(QStringLiteral("t"));
        const QString database = postgresDatabase;
#else
        const QString database = dir.filePath(QStringLiteral("t.sqlite"));
        QFile::remove(database);
#endif
        inProcess = std::make_unique<InProcessServer>(database, policy);
    }
    QByteArray get(const QString &path, const QByteArray &query,
        const QHostAddress &from = QHostAddress(QHostAddress::LocalHost))
    {
        return inProcess->http.answer(HttpFrontEnd::Side::Public, "GET", path, query, from).body;
    }
    HttpReply page(const QString &path, const QByteArray &query)
    {
        return inProcess->http.answer(HttpFrontEnd::Side::Operator, "GET", path, query);
    }
    QString alias(const QString &device)
    {
        return inProcess->store.aliasOf(device);
    }
    QByteArray log(const QByteArray &query)
    {
        return get(QStringLiteral("/log.php"), query);
    }
    qint64 stored(const QString &device = QStringLiteral("dev-a"))
    {
        return inProcess->store.summary(device).reports;
    }
    int command(const QStringList &arguments, QString *out = nullptr)
    {
        QString text, errors;
        QTextStream outStream(&text), errStream(&errors);
        const int code = OperatorCommands(inProcess->store, outStream, errStream).run(arguments);
        outStream.flush();
        if (out)
            *out = text;
        return code;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
#ifdef PEREGRIX_TEST_POSTGRES
        QVERIFY2(postgres.start(), qPrintable(postgres.error()));
        postgresDatabase = postgres.createDatabase(QStringLiteral("t"));
        QVERIFY2(!postgresDatabase.isEmpty(), qPrintable(postgres.error()));
#endif
    }

    void init()
    {
        open();
        QCOMPARE(log("u=Jo%20Ann&d=dev-a"), QByteArray("VALIDATED"));
    }

    void queryDecoding_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QStringList>("pairs"); // key=value, decoded; empty with "failed"
        QTest::addColumn<bool>("failed");
        QTest::newRow("plain") << QByteArray("u=a&d=b") << QStringList { "u=a", "d=b" } << false;
        QTest::newRow("plus stays a plus")
            << QByteArray("u=a+b") << QStringList { "u=a+b" } << false;
        QTest::newRow("escaped blank") << QByteArray("u=a%20b") << QStringList { "u=a b" } << false;
        QTest::newRow("escaped & is data")
            << QByteArray("u=a%26b") << QStringList { "u=a&b" } << false;
        QTest::newRow("second = is data")
            << QByteArray("u=a=b") << QStringList { "u=a=b" } << false;
        QTest::newRow("? inside a value")
            << QByteArray("u=?&d=x") << QStringList { "u=?", "d=x" } << false;
        QTest::newRow("UTF-8") << QByteArray("u=Jos%C3%A9") << QStringList { "u=José" } << false;
        QTest::newRow("no =") << QByteArray("u") << QStringList { "u=" } << false;
        QTest::newRow("empty") << QByteArray() << QStringList() << false;
        QTest::newRow("lone %") << QByteArray("u=100%") << QStringList() << true;
        QTest::newRow("% and one digit") << QByteArray("u=%4") << QStringList() << true;
        QTest::newRow("not hex") << QByteArray("u=%zz") << QStringList() << true;
        QTest::newRow("not UTF-8") << QByteArray("u=%FF") << QStringList() << true;
        QTest::newRow("half a character") << QByteArray("u=%C3") << QStringList() << true;
    }
    void queryDecoding()
    {
        QFETCH(QByteArray, query);
        QFETCH(QStringList, pairs);
        QFETCH(bool, failed);
        const std::optional<QueryParameters> parsed = QueryParameters::parse(query);
        QCOMPARE(!parsed, failed);
        if (failed)
            return;
        QStringList got;
        for (const QueryParameters::Parameter &p : parsed->parameters())
            got << p.key + u'=' + p.value;
        QCOMPARE(got, pairs);
    }

    void validation_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("own name again")
            << QByteArray("u=Jo%20Ann&d=dev-a") << QByteArray("VALIDATED");
        QTest::newRow("own name in capitals")
            << QByteArray("u=JO%20ANN&d=dev-a") << QByteArray("VALIDATED");
        QTest::newRow("another device's name")
            << QByteArray("u=Jo%20Ann&d=dev-b") << QByteArray("USERNAME IN USE");
        QTest::newRow("another device's name, other case")
            << QByteArray("u=jo%20ann&d=dev-b") << QByteArray("USERNAME IN USE");
        QTest::newRow("another device's name, full-width letter")
            << QByteArray("u=%EF%BC%AAo%20Ann&d=dev-b") << QByteArray("USERNAME IN USE");
        QTest::newRow("free name") << QByteArray("u=Bernard&d=dev-b") << QByteArray("VALIDATED");
        QTest::newRow("letters of any script")
            << QByteArray("u=Jos%C3%A9-Lu%C3%ADs_2.0&d=dev-b") << QByteArray("VALIDATED");
        QTest::newRow("3 characters") << QByteArray("u=abc&d=dev-b") << QByteArray("VALIDATED");
        QTest::newRow("2 characters") << QByteArray("u=ab&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("20 characters")
            << QByteArray("u=abcdefghijklmnopqrst&d=dev-b") << QByteArray("VALIDATED");
        QTest::newRow("21 characters")
            << QByteArray("u=abcdefghijklmnopqrstu&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("20 characters beyond 20 units")
            << QByteArray("u=%F0%90%90%80bcdefghijklmnopqrs&d=dev-b") << QByteArray("VALIDATED");
        QTest::newRow("comma") << QByteArray("u=a,bc&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("bar") << QByteArray("u=a%7Cbc&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("escaped &") << QByteArray("u=a%26bc&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("& splits the name")
            << QByteArray("u=ab&cd&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("= in the name")
            << QByteArray("u=ab=cd&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("? in the name")
            << QByteArray("u=ab?&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("emoji") << QByteArray("u=ab%F0%9F%98%80&d=dev-b")
                               << QByteArray("NOT VALIDATED");
        QTest::newRow("line break")
            << QByteArray("u=ab%0Acd&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("no device") << QByteArray("u=Bernard&d=") << QByteArray("NOT VALIDATED");
        QTest::newRow("registered name asked")
            << QByteArray("u=?&d=dev-a") << QByteArray("USERJo Ann");
        QTest::newRow("no registered name")
            << QByteArray("u=?&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("test user") << QByteArray("u=TeSt&d=dev-b") << QByteArray("VALIDATED");
    }
    void validation()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, reply);
        QCOMPARE(log(query), reply);
        QCOMPARE(log("u=?&d=dev-a"), QByteArray("USERJo Ann")); // nothing taken from dev-a
    }

    void aNewNameFreesTheOldOne()
    {
        QCOMPARE(log("u=Bernard&d=dev-a"), QByteArray("VALIDATED"));
        QCOMPARE(log("u=?&d=dev-a"), QByteArray("USERBernard"));
        QCOMPARE(log("u=Jo%20Ann&d=dev-b"), QByteArray("VALIDATED"));
        QCOMPARE(log("u=?&d=dev-b"), QByteArray("USERJo Ann"));
        QCOMPARE(log("u=Bernard&d=dev-b"), QByteArray("USERNAME IN USE"));
    }

    void aNameWithReportsStaysWithItsDevice()
    {
        QCOMPARE(log(report), QByteArray("OK7"));
        QCOMPARE(log("u=Bernard&d=dev-a"), QByteArray("VALIDATED"));
        QCOMPARE(log("u=Jo%20Ann&d=dev-b"), QByteArray("USERNAME IN USE"));
        QCOMPARE(log("u=Jo%20Ann&d=dev-a"), QByteArray("VALIDATED")); // its own, back again
        QCOMPARE(log("u=Bernard&d=dev-a"), QByteArray("VALIDATED"));
        QCOMPARE(command({ "release-user", "JO ANN" }), int(OperatorCommands::Success));
        QCOMPARE(log("u=Jo%20Ann&d=dev-b"), QByteArray("VALIDATED"));
    }

    void newDevicesPerAddress()
    {
        TrackingService::Policy policy;
        policy.newDevicesPerMinute = 2;
        open(policy);
        const QHostAddress a("10.0.0.1"), b("10.0.0.2"), c("2001:db8::1"), d("2001:db8::2:1");
        const auto validate = [this](const char *device, const QHostAddress &from) {
            return get(
                QStringLiteral("/log.php"), QByteArray("u=") + device + "&d=" + device, from);
        };
        const QByteArray tooMany
            = "Too many new devices from your network: please try again in a minute";
        QCOMPARE(validate("dev-1", a), QByteArray("VALIDATED"));
        QCOMPARE(validate("dev-2", a), QByteArray("VALIDATED"));
        QCOMPARE(validate("dev-3", a), tooMany);
        QCOMPARE(validate("dev-1", a), QByteArray("VALIDATED")); // a known device
        QCOMPARE(get(QStringLiteral("/log.php"),
                     QByteArray(report).replace("u=Jo%20Ann&d=dev-a", "u=Test&d=dev-t"), a),
            '~' + tooMany);
        QCOMPARE(validate("dev-3", b), QByteArray("VALIDATED"));
        QCOMPARE(validate("dev-4", c), QByteArray("VALIDATED"));
        QCOMPARE(validate("dev-5", d), QByteArray("VALIDATED"));
        QCOMPARE(validate("dev-6", d), tooMany); // the same /64
    }

    void closedRegistration_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("added by the operator")
            << QByteArray("u=erin&d=dev-b") << QByteArray("VALIDATED");
        QTest::newRow("not added") << QByteArray("u=Dave&d=dev-b") << QByteArray("NOT VALIDATED");
        QTest::newRow("added, taken")
            << QByteArray("u=carol&d=dev-b") << QByteArray("USERNAME IN USE");
        QTest::newRow("added, own") << QByteArray("u=CAROL&d=dev-c") << QByteArray("VALIDATED");
    }
    void closedRegistration()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, reply);
        open({ true, true });
        QCOMPARE(command({ "add-user", "Carol" }), int(OperatorCommands::Success));
        QCOMPARE(command({ "add-user", "Erin" }), int(OperatorCommands::Success));
        QCOMPARE(log("u=Carol&d=dev-c"), QByteArray("VALIDATED"));
        QCOMPARE(log(query), reply);
    }

    void reports_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("isStored");
        const QByteArray noName
            = "~No user name is registered for this device. Validate one in Settings.";
        const QByteArray notYours = "~This user name is not the one registered for this device.";
        const QByteArray badLat = "Bad report: latitude missing, not a number or out of range";
        const QByteArray badLong = "Bad report: longitude missing, not a number or out of range";
        QTest::newRow("report") << QByteArray() << QByteArray() << QByteArray("OK7") << true;
        QTest::newRow("late") << QByteArray("id=7") << QByteArray("id=7&Late=Y")
                              << QByteArray("OK7") << true;
        QTest::newRow("id echoed as sent")
            << QByteArray("id=7") << QByteArray("id=0070") << QByteArray("OK0070") << true;
        QTest::newRow("name in another case")
            << QByteArray("u=Jo%20Ann") << QByteArray("u=JO%20ann") << QByteArray("OK7") << true;
        QTest::newRow("speed not sent")
            << QByteArray("speed=22%20MPH") << QByteArray("speed=.") << QByteArray("OK7") << true;
        QTest::newRow("test user, unregistered device")
            << QByteArray("u=Jo%20Ann&d=dev-a") << QByteArray("u=Test&d=dev-b") << QByteArray("OK7")
            << false;
        QTest::newRow("unregistered device")
            << QByteArray("d=dev-a") << QByteArray("d=dev-b") << noName << false;
        QTest::newRow("another name")
            << QByteArray("u=Jo%20Ann") << QByteArray("u=Bernard") << notYours << false;
        QTest::newRow("latitude missing")
            << QByteArray("lat=51.500000") << QByteArray("lat=") << badLat << false;
        QTest::newRow("latitude not a number")
            << QByteArray("lat=51.500000") << QByteArray("lat=abc") << badLat << false;
        QTest::newRow("latitude in exponent form")
            << QByteArray("lat=51.500000") << QByteArray("lat=5e1") << badLat << false;
        QTest::newRow("latitude without fraction digits")
            << QByteArray("lat=51.500000") << QByteArray("lat=51.") << badLat << false;
        QTest::newRow("latitude nan")
            << QByteArray("lat=51.500000") << QByteArray("lat=nan") << badLat << false;
        QTest::newRow("latitude 90") << QByteArray("lat=51.500000") << QByteArray("lat=90.000000")
                                     << QByteArray("OK7") << true;
        QTest::newRow("latitude beyond 90")
            << QByteArray("lat=51.500000") << QByteArray("lat=-90.000001") << badLat << false;
        QTest::newRow("longitude -180")
            << QByteArray("long=-0.127500") << QByteArray("long=-180.000000") << QByteArray("OK7")
            << true;
        QTest::newRow("longitude beyond 180")
            << QByteArray("long=-0.127500") << QByteArray("long=180.5") << badLong << false;
        QTest::newRow("when too short")
            << QByteArray("when=20260306140509") << QByteArray("when=2026")
            << QByteArray("Bad report: when must be yyyyMMddHHmmss") << false;
        QTest::newRow("when with a line feed")
            << QByteArray("when=20260306140509") << QByteArray("when=20260306140509%0A")
            << QByteArray("Bad report: when must be yyyyMMddHHmmss") << false;
        QTest::newRow("month 13") << QByteArray("when=20260306140509")
                                  << QByteArray("when=20261306140509")
                                  << QByteArray("Bad report: when must be yyyyMMddHHmmss") << false;
        QTest::newRow("accuracy not whole")
            << QByteArray("acc=65") << QByteArray("acc=6.5")
            << QByteArray("Bad report: accuracy must be a whole number") << false;
        QTest::newRow("negative id")
            << QByteArray("id=7") << QByteArray("id=-7")
            << QByteArray("Bad report: id must be a whole number") << false;
        QTest::newRow("Late=N") << QByteArray("id=7") << QByteArray("id=7&Late=N")
                                << QByteArray("Bad report: Late must be Y") << false;
        QTest::newRow("a key twice, one missing")
            << QByteArray("acc=65") << QByteArray("id=8")
            << QByteArray("Bad report: expected u, d, lat, long, when, "
                          "ver, acc, speed, id")
            << false;
        QTest::newRow("a parameter more")
            << QByteArray("id=7") << QByteArray("id=7&x=1")
            << QByteArray("Bad report: expected u, d, lat, long, when, "
                          "ver, acc, speed, id")
            << false;
    }
    void reports()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QByteArray, reply);
        QFETCH(bool, isStored);
        QByteArray query = report;
        query.replace(from, to);
        QCOMPARE(log(query), reply);
        QCOMPARE(stored(), isStored ? 1 : 0);
    }

    void reportIsStoredWithEverythingItCarries()
    {
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
        QCOMPARE(log(QByteArray(report).replace("speed=22%20MPH", "speed=1+1%20KPH") + "&Late=Y"),
            QByteArray("OK7"));
        const QList<TrackingStore::TrackPoint> track
            = inProcess->store.track(QStringLiteral("dev-a"));
        QCOMPARE(track.size(), 1);
        const TrackingStore::TrackPoint &p = track.first();
        QCOMPARE(p.latitude, 51.5);
        QCOMPARE(p.longitude, -0.1275);
        QCOMPARE(p.when, QStringLiteral("20260306140509"));
        QCOMPARE(p.accuracy, 65);
        QCOMPARE(p.speed, QStringLiteral("1+1 KPH"));
        QCOMPARE(p.id, 7);
        QVERIFY(p.late);
        const QDateTime received = QDateTime::fromString(p.received, Qt::ISODateWithMs);
        QVERIFY2(received >= before && received <= QDateTime::currentDateTimeUtc(),
            qPrintable(p.received));
    }

#ifndef PEREGRIX_TEST_POSTGRES
    // The report writer's statement runs outside QtSql: a failure must come back as the store's
    // error, and leave the statement reset, or the next batch and the connection's close fail.
    void aFailedStatementLeavesItsConnectionUsable()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "direct");
            db.setDatabaseName(dir.filePath(QStringLiteral("direct.sqlite")));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE t (k TEXT UNIQUE, v REAL)")));
            SqliteStatements statements(db);
            const QString insert = QStringLiteral("INSERT INTO t VALUES (?, ?) RETURNING k, v");
            QVariantList returned;
            const auto keep = [&](const QVariantList &row) { returned << row; };
            statements.forEachRow(insert, { QStringLiteral("Jos\u00e9"), 1.5 }, keep);
            QVERIFY_THROWS_EXCEPTION(TrackingStore::Error,
                statements.forEachRow(insert, { QStringLiteral("Jos\u00e9"), 2.5 }, keep));
            statements.forEachRow(insert, { QStringLiteral("Ann"), QVariant() }, keep);
            QCOMPARE(returned,
                QVariantList(
                    { QStringLiteral("Jos\u00e9"), 1.5, QStringLiteral("Ann"), QVariant() }));
        }
        QVERIFY(QSqlDatabase::database(QStringLiteral("direct"), false).isOpen());
        QSqlDatabase::database(QStringLiteral("direct"), false).close();
        QVERIFY(!QSqlDatabase::database(QStringLiteral("direct"), false).lastError().isValid());
        QSqlDatabase::removeDatabase(QStringLiteral("direct"));
    }
#endif

    void duplicates_data()
    {
        QTest::addColumn<QByteArray>("second"); // sent after `report` was stored
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("rows");
        const QByteArray ok = "OK7";
        QTest::newRow("late resend") << QByteArray(report + "&Late=Y") << ok << 1;
        QTest::newRow("sent again, not late") << report << ok << 1;
        QTest::newRow("late resend, other fields")
            << QByteArray(report).replace("acc=65", "acc=3") + "&Late=Y" << ok << 1;
        QTest::newRow("same id, another time (a new run)")
            << QByteArray(report).replace("when=20260306140509", "when=20260306150000") << ok << 2;
        QTest::newRow("same id and time, another device")
            << QByteArray(report).replace("d=dev-a", "d=dev-b").replace("Jo%20Ann", "Test") << ok
            << 1;
        QTest::newRow("same id and time, another position")
            << QByteArray(report).replace("lat=51.500000", "lat=51.500001")
            << QByteArray("~A report with this time and id was stored before at another position")
            << 1;
    }
    void duplicates()
    {
        QFETCH(QByteArray, second);
        QFETCH(QByteArray, reply);
        QFETCH(int, rows);
        QCOMPARE(log(report), QByteArray("OK7"));
        QCOMPARE(log(second), reply);
        QCOMPARE(stored(), rows);
        QCOMPARE(inProcess->store.summary(QStringLiteral("dev-a")).lateReports, 0);
    }

    void lateReportNeverStoredIsStoredAsLate()
    {
        QCOMPARE(log(report + "&Late=Y"), QByteArray("OK7"));
        QCOMPARE(log(report), QByteArray("OK7")); // the original, arriving after all
        QCOMPARE(stored(), 1);
        QCOMPARE(inProcess->store.summary(QStringLiteral("dev-a")).lateReports, 1);
    }

    void stoppedDevice()
    {
        QCOMPARE(command({ "stop", "dev-a", "Call the office, please" }),
            int(OperatorCommands::Success));
        QCOMPARE(log(report), QByteArray("~~Call the office, please"));
        QCOMPARE(log(report + "&Late=Y"), QByteArray("~~Call the office, please"));
        QCOMPARE(log("u=?&d=dev-a"), QByteArray("USERJo Ann")); // validation is not stopped
        QVERIFY(get("/getmyinfo.php", "d=dev-a&ver=v2.5")
                    .contains("Status,Stopped: Call the office; please|"));
        QCOMPARE(stored(), 0);
        QCOMPARE(command({ "resume", "dev-a" }), int(OperatorCommands::Success));
        QCOMPARE(log(report), QByteArray("OK7"));
    }

    void accountInformation_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray server = "Server,peregrix-server " PEREGRIX_VERSION;
        QTest::newRow("reports") << QByteArray("d=dev-a&ver=v2.5")
                                 << "User,Jo Ann|Device,dev-a|Status,Tracking allowed|Reports,2|"
                                    "Late reports,1|First report,2026-03-06 14:05:09|"
                                    "Last report,2026-03-06 15:00:00|"
                + server;
        QTest::newRow("unknown device")
            << QByteArray("d=dev-z&ver=v2.5")
            << "User,Not registered|Device,dev-z|Status,Tracking allowed|"
               "Reports,0|Late reports,0|"
                + server;
        QTest::newRow("separators in the device")
            << QByteArray("d=a,b%7Cc&ver=v2.5")
            << "User,Not registered|Device,a;b/c|Status,Tracking allowed|Reports,0|Late reports,0|"
                + server;
        QTest::newRow("no device")
            << QByteArray("ver=v2.5")
            << "User,Not registered|Device,|Status,Tracking allowed|Reports,0|Late reports,0|"
                + server;
        QTest::newRow("no ver") << QByteArray("d=dev-a") << QByteArray("Error,Bad request");
    }
    void accountInformation()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, reply);
        QCOMPARE(log(QByteArray(report).replace("when=20260306140509", "when=20260306150000")),
            QByteArray("OK7"));
        QCOMPARE(log(report + "&Late=Y"), QByteArray("OK7"));
        QCOMPARE(get(QStringLiteral("/getmyinfo.php"), query), reply);
    }

    void routes_data()
    {
        QTest::addColumn<bool>("operatorSide");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("ping") << false << QByteArray("GET") << "/ping" << QByteArray() << 200
                              << QByteArray("pong");
        QTest::newRow("POST") << false << QByteArray("POST") << "/log.php" << report << 405
                              << QByteArray("Only GET is served here");
        QTest::newRow("HEAD") << true << QByteArray("HEAD") << "/" << QByteArray() << 405
                              << QByteArray("Only GET is served here");
        QTest::newRow("unknown path") << false << QByteArray("GET") << "/log.php/x" << report << 404
                                      << QByteArray("Not found");
        QTest::newRow("bad escape")
            << false << QByteArray("GET") << "/log.php" << QByteArray("u=%G1&d=x") << 200
            << QByteArray("Bad request: the query is not percent-encoded UTF-8");
        QTest::newRow("empty log.php") << false << QByteArray("GET") << "/log.php" << QByteArray()
                                       << 200 << QByteArray("NOT VALIDATED");
        QTest::newRow("the page, on the public side")
            << false << QByteArray("GET") << "/" << QByteArray() << 404 << QByteArray("Not found");
        QTest::newRow("a download, on the public side")
            << false << QByteArray("GET") << "/track.gpx" << QByteArray("a=0123456789abcdef") << 404
            << QByteArray("Not found");
        QTest::newRow("a report, on the operator's side")
            << true << QByteArray("GET") << "/log.php" << report << 404 << QByteArray("Not found");
        QTest::newRow("download without device")
            << true << QByteArray("GET") << "/track.gpx" << QByteArray() << 400
            << QByteArray("Give the device's alias as a=ALIAS, and maybe from= and to=");
        QTest::newRow("download by device identifier")
            << true << QByteArray("GET") << "/track.gpx" << QByteArray("d=dev-a") << 400
            << QByteArray("Give the device's alias as a=ALIAS, and maybe from= and to=");
        QTest::newRow("download, no reports")
            << true << QByteArray("GET") << "/track.geojson" << QByteArray("a=0123456789abcdef")
            << 404 << QByteArray("No reports from this device");
        QTest::newRow("download, not a date")
            << true << QByteArray("GET") << "/track.geojson"
            << QByteArray("a=0123456789abcdef&from=2026-02-30") << 400
            << QByteArray("from and to are dates, YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
        QTest::newRow("page 0") << true << QByteArray("GET") << "/" << QByteArray("page=0") << 400
                                << QByteArray("page is a whole number from 1");
    }
    void routes()
    {
        QFETCH(bool, operatorSide);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, query);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        const HttpReply reply = inProcess->http.answer(
            operatorSide ? HttpFrontEnd::Side::Operator : HttpFrontEnd::Side::Public, method, path,
            query);
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.body, body);
        QCOMPARE(stored(), 0);
    }

    void operatorCommands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("add a name") << QStringList { "add-user", "Carol" } << 0;
        QTest::newRow("add a taken name") << QStringList { "add-user", "JO ANN" } << 1;
        QTest::newRow("add a bad name") << QStringList { "add-user", "x|y" } << 2;
        QTest::newRow("add the test user") << QStringList { "add-user", "test" } << 2;
        QTest::newRow("release an unknown name") << QStringList { "release-user", "Zoe" } << 1;
        QTest::newRow("stop, default message") << QStringList { "stop", "dev-a" } << 0;
        QTest::newRow("stop an unknown device") << QStringList { "stop", "dev-z", "x" } << 1;
        QTest::newRow("stop by alias") << QStringList { "stop", "alias of dev-a" } << 0;
        QTest::newRow("stop, message not ASCII") << QStringList { "stop", "dev-a", "Arrêt" } << 2;
        QTest::newRow("stop, message on two lines") << QStringList { "stop", "dev-a", "a\nb" } << 2;
        QTest::newRow("resume an unknown device") << QStringList { "resume", "dev-z" } << 1;
        QTest::newRow("export, no reports") << QStringList { "export-gpx", "dev-a" } << 1;
        QTest::newRow("unknown command") << QStringList { "delete", "dev-a" } << 2;
        QTest::newRow("argument missing") << QStringList { "add-user" } << 2;
    }
    void operatorCommands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        arguments.replaceInStrings(QStringLiteral("alias of dev-a"), alias("dev-a"));
        QCOMPARE(command(arguments), exitCode);
    }

    void listings()
    {
        QCOMPARE(command({ "add-user", "Carol" }), 0);
        QCOMPARE(log(report), QByteArray("OK7"));
        QCOMPARE(log(QByteArray(report).replace("u=Jo%20Ann&d=dev-a", "u=Test&d=dev-t")),
            QByteArray("OK7"));
        QCOMPARE(command({ "stop", "dev-a" }), 0);
        QString out;
        QCOMPARE(command({ "devices" }, &out), 0);
        QCOMPARE(out.split(u'\n'),
            (QStringList { "DEVICE\tALIAS\tUSER\tREPORTS\tLAST REPORT\tSTATUS",
                "dev-a\t" + alias("dev-a") + "\tJo Ann\t1\t2026-03-06 14:05:09\tstopped: "
                    + QLatin1String(OperatorCommands::defaultStopMessage),
                "dev-t\t" + alias("dev-t") + "\tTest\t1\t2026-03-06 14:05:09\ttracking", "" }));
        QCOMPARE(command({ "users" }, &out), 0);
        const QStringList lines = out.split(u'\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[1].startsWith("Carol\t-\toperator\t"), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("Jo Ann\tdev-a\tdevice\t"), qPrintable(lines[2]));
    }

    void gpxAndGeoJson()
    {
        QCOMPARE(log(report), QByteArray("OK7"));
        QCOMPARE(log(QByteArray(report).replace("id=7", "id=8").replace("lat=51.5", "lat=51.6")
                     + "&Late=Y"),
            QByteArray("OK8"));
        QString out;
        QCOMPARE(command({ "export-gpx", "dev-a" }, &out), 0);
        QXmlStreamReader xml(out);
        QStringList points;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"trkpt")
                points << xml.attributes().value("lat").toString() + u' '
                        + xml.attributes().value("lon").toString();
            if (xml.isStartElement() && xml.name() == u"time")
                points << xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(points,
            (QStringList { "51.500000 -0.127500", "2026-03-06T14:05:09", "51.600000 -0.127500",
                "2026-03-06T14:05:09" }));

        const HttpReply reply
            = page(QStringLiteral("/track.geojson"), "a=" + alias("dev-a").toLatin1());
        QCOMPARE(reply.contentType, QByteArray("application/geo+json"));
        const QJsonArray features
            = QJsonDocument::fromJson(reply.body).object().value("features").toArray();
        QCOMPARE(features.size(), 3); // the line and two points
        QCOMPARE(features[0].toObject().value("geometry").toObject().value("type").toString(),
            QStringLiteral("LineString"));
        const QJsonObject late = features[2].toObject();
        QCOMPARE(late.value("geometry").toObject().value("coordinates").toArray(),
            (QJsonArray { -0.1275, 51.6 }));
        QVERIFY(late.value("properties").toObject().value("late").toBool());

        const QByteArray a = "a=" + alias("dev-a").toLatin1();
        QCOMPARE(page(QStringLiteral("/track.gpx"), a + "&from=2026-03-07").status, 404);
        QCOMPARE(page(QStringLiteral("/track.gpx"), a + "&to=2026-03-06T14:04").status, 404);
        QCOMPARE(
            page(QStringLiteral("/track.gpx"), a + "&from=2026-03-06&to=2026-03-06").status, 200);
    }

    // Reports of one second go over several chunks of the download; none is lost or repeated.
    void longTrackComesWholeInChunks()
    {
        QList<ReceivedReport> reports;
        for (int id = 1; id <= 2500; ++id) {
            ReceivedReport r { "Test", "dev-a", 51.5, -0.1, "20260306140509", "v2.5", 5, ".",
                QString::number(id), id, false, {} };
            if (id > 1200)
                r.when = "20260306140510";
            reports.append(r);
        }
        inProcess->store.storeReports(reports, QDateTime::currentDateTimeUtc(),
            [](const ReceivedReport &, const TrackingStore::Account &) { return QByteArray(); });
        const HttpReply gpx = page(QStringLiteral("/track.gpx"), "a=" + alias("dev-a").toLatin1());
        QXmlStreamReader xml(gpx.body);
        QList<int> ids; // from each point's "id N, accuracy ..."
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"desc") {
                const QString text = xml.readElementText();
                if (text.startsWith(u"id "))
                    ids.append(text.section(u',', 0, 0).mid(3).toInt());
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QList<int> expected(2500);
        std::iota(expected.begin(), expected.end(), 1);
        QCOMPARE(ids, expected);
    }

    void pageShowsTheMostRecentlyActiveDevicesInPages()
    {
        QList<ReceivedReport> reports;
        for (int i = 0; i <= 100; ++i)
            reports.append({ "Test", QStringLiteral("dev-%1").arg(i, 3, 10, QLatin1Char('0')), 51.5,
                -0.1, "20260306140509", "v2.5", 5, ".", "1", 1, false, {} });
        reports.append(reports.last());
        reports.last().id = 2; // dev-100 twice in the batch
        const auto admitAll
            = [](const ReceivedReport &, const TrackingStore::Account &) { return QByteArray(); };
        const QDateTime now = QDateTime::currentDateTimeUtc();
        inProcess->store.storeReports(reports, now, admitAll);
        inProcess->store.storeReports(
            { reports[50] }, now.addSecs(1), admitAll); // already stored: no news
        reports[50].id = 2;
        inProcess->store.storeReports({ reports[50] }, now.addSecs(2), admitAll);
        for (const TrackingStore::DeviceEntry &entry : inProcess->store.devices()) {
            if (entry.device.size() == 7) // dev-000 to dev-100
                QCOMPARE(entry.reports,
                    entry.device.endsWith(u"050") || entry.device.endsWith(u"100") ? 2 : 1);
        }

        const QString first = QString::fromUtf8(page(QStringLiteral("/"), {}).body);
        QCOMPARE(first.count("<tr><td>"), 100);
        QVERIFY(first.contains("Devices 1 to 100 of 102, the most recently active first."));
        QVERIFY(first.contains("<a href=\"?page=2\">Older devices</a>"));
        QVERIFY2(first.indexOf(alias("dev-050")) < first.indexOf(alias("dev-000")),
            "the device that reported last comes first");
        const QString second = QString::fromUtf8(page(QStringLiteral("/"), "page=2").body);
        QCOMPARE(second.count("<tr><td>"), 2);
        QVERIFY(second.contains("<a href=\"?page=1\">Newer devices</a>"));
        QVERIFY(!second.contains("Older devices"));
        for (const QString &html : { first, second })
            QVERIFY(!html.contains("dev-0"));
    }
};

PEREGRIX_TEST_MAIN(TestTrackingService)
#include "tst_TrackingService.moc"
