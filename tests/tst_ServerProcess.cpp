// The real peregrix-server process: every acknowledged report survives a kill -9, the operator's
// commands act on a running server, and the command line's options and errors.
#include "PostgresCluster.h"
#include "ServerProcess.h"
#include "TcpRelay.h"
#include "TestEnvironment.h"

#include "ConnectionGuard.h"
#include "TrackingStore.h"

#include "platform/PercentEscapes.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <set>
#include <sys/resource.h>

namespace {

QString report(int id, bool late = false)
{
    return QStringLiteral("log.php?u=Kim&d=dev-k&lat=51.%1&long=-0.127500&when=20260306140509"
                          "&ver=v2.5&acc=5&speed=3 KPH&id=%2%3")
        .arg(id, 6, 10, QLatin1Char('0'))
        .arg(id)
        .arg(late ? QStringLiteral("&Late=Y") : QString());
}

// A connection from the given loopback address to the server.
std::unique_ptr<QTcpSocket> connectionFrom(const QString &source, quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(source));
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

// What the server answers to a /ping on the connection, whole or as far as it came in time.
QByteArray ping(QTcpSocket &socket, int waitMs = 5000)
{
    socket.write("GET /ping HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray received;
    (void)QTest::qWaitFor(
        [&] {
            received += socket.readAll();
            return received.endsWith("pong") || received.startsWith("HTTP/1.1 503");
        },
        waitMs);
    return received;
}

} // namespace

class TestServerProcess : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString database;
    std::unique_ptr<ServerProcess> server;
    QNetworkAccessManager network;
    std::unique_ptr<PostgresCluster> postgres; // started by the first test that needs it
    int postgresDatabases = 0;

    // A new database on the private cluster; empty, with the test failed, when PostgreSQL
    // cannot be started.
    QString newPostgresDatabase()
    {
        if (!postgres) {
            postgres = std::make_unique<PostgresCluster>();
            if (!postgres->start()) {
                qWarning("%s", qPrintable(postgres->error()));
                return {};
            }
        }
        const QString url
            = postgres->createDatabase(QStringLiteral("d%1").arg(++postgresDatabases));
        if (url.isEmpty())
            qWarning("%s", qPrintable(postgres->error()));
        return url;
    }

    QNetworkReply *send(const QString &request)
    {
        return network.get(
            QNetworkRequest(urlWithString(addingPercentEscapes(server->baseUrl() + request))));
    }
    QByteArray get(const QString &request)
    {
        QNetworkReply *reply = send(request);
        if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10'000))
            return "(no answer)";
        reply->deleteLater();
        return reply->readAll();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void init()
    {
        database = dir.filePath(QStringLiteral("%1.sqlite").arg(QTest::currentTestFunction()));
        server = std::make_unique<ServerProcess>(QStringLiteral(PEREGRIX_SERVER), database);
    }

    void cleanup() { server.reset(); }

    void everyAcknowledgedReportSurvivesKillNine_data()
    {
        QTest::addColumn<bool>("postgresql");
        QTest::newRow("SQLite") << false;
        QTest::newRow("PostgreSQL") << true;
    }

    void everyAcknowledgedReportSurvivesKillNine()
    {
        QFETCH(bool, postgresql);
        if (postgresql) {
            database = newPostgresDatabase();
            QVERIFY(!database.isEmpty());
            server = std::make_unique<ServerProcess>(QStringLiteral(PEREGRIX_SERVER), database);
        }
        QVERIFY2(server->start(), qPrintable(server->output()));
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));
        std::set<int> acknowledged;
        int next = 1, inFlight = 0;
        bool killed = false;
        const auto sendNext = [&](auto &self) -> void {
            const int id = next++;
            ++inFlight;
            QNetworkReply *reply = send(report(id));
            connect(reply, &QNetworkReply::finished, this, [&, reply, id, self] {
                --inFlight;
                reply->deleteLater();
                if (reply->readAll() == "OK" + QByteArray::number(id))
                    acknowledged.insert(id);
                if (!killed && acknowledged.size() >= 400) {
                    killed = true;
                    server->kill(); // while the other requests are on their way
                }
                if (!killed)
                    self(self);
            });
        };
        for (int i = 0; i < 12; ++i)
            sendNext(sendNext);
        QVERIFY(QTest::qWaitFor([&] { return killed && inFlight == 0; }, 120'000));

        QVERIFY2(server->start(), qPrintable(server->output()));
        std::set<int> stored;
        {
            TrackingStore store(QStringLiteral("check"));
            store.open(database);
            for (const TrackingStore::TrackPoint &p : store.track(QStringLiteral("dev-k")))
                stored.insert(int(p.id));
        }
        qInfo("%zu acknowledged, %zu stored of %d sent", acknowledged.size(), stored.size(),
            next - 1);
        QVERIFY(
            std::includes(stored.begin(), stored.end(), acknowledged.begin(), acknowledged.end()));

        // Resending everything late fills the gaps and stores nothing twice.
        for (int id = 1; id < next; ++id)
            QCOMPARE(get(report(id, true)), "OK" + QByteArray::number(id));
        TrackingStore store(QStringLiteral("recount"));
        store.open(database);
        const TrackingStore::Summary summary = store.summary(QStringLiteral("dev-k"));
        QCOMPARE(summary.reports, next - 1);
        QCOMPARE(summary.lateReports, qint64(next - 1) - qint64(stored.size()));
    }

    // Two servers on one PostgreSQL database, the reports of one device spread over both and
    // every one of them sent again late to the other: each is stored exactly once.
    void twoServersShareOnePostgresDatabase()
    {
        database = newPostgresDatabase();
        QVERIFY(!database.isEmpty());
        server = std::make_unique<ServerProcess>(QStringLiteral(PEREGRIX_SERVER), database);
        ServerProcess second(QStringLiteral(PEREGRIX_SERVER), database);
        QVERIFY2(server->start(), qPrintable(server->output()));
        QVERIFY2(second.start(), qPrintable(second.output()));
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));

        const auto sendTo = [this](const ServerProcess &target, const QString &request) {
            return network.get(
                QNetworkRequest(urlWithString(addingPercentEscapes(target.baseUrl() + request))));
        };
        constexpr int count = 200;
        QList<std::pair<QNetworkReply *, int>> replies;
        // Both servers at once: first the reports alternately, then each late to the other
        // one while the first round may still be on its way.
        for (int id = 1; id <= count; ++id)
            replies.append({ sendTo(id % 2 ? *server : second, report(id)), id });
        for (int id = 1; id <= count; ++id)
            replies.append({ sendTo(id % 2 ? second : *server, report(id, true)), id });
        for (const auto &[reply, id] : replies) {
            QVERIFY(QTest::qWaitFor([reply] { return reply->isFinished(); }, 30'000));
            QCOMPARE(reply->readAll(), "OK" + QByteArray::number(id));
            reply->deleteLater();
        }

        TrackingStore store(QStringLiteral("shared"));
        store.open(database);
        const TrackingStore::Summary summary = store.summary(QStringLiteral("dev-k"));
        QCOMPARE(summary.reports, qint64(count));
        std::set<qint64> ids;
        for (const TrackingStore::TrackPoint &p : store.track(QStringLiteral("dev-k")))
            ids.insert(p.id);
        QCOMPARE(ids.size(), size_t(count));

        // The device stopped through one server is stopped for the other at once.
        QCOMPARE(second.command({ "stop", "dev-k", "Gone" }).exitCode, 0);
        QCOMPARE(get(report(count + 1)), QByteArray("~~Gone"));
    }

    void operatorCommandsOnARunningServer()
    {
        QVERIFY2(server->start(), qPrintable(server->output()));
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));
        QCOMPARE(get(report(1)), QByteArray("OK1"));
        ServerProcess::Result r = server->command({ "stop", "dev-k", "Stopped for the night" });
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(get(report(2)), QByteArray("~~Stopped for the night"));
        QCOMPARE(server->command({ "resume", "dev-k" }).exitCode, 0);
        QCOMPARE(get(report(2)), QByteArray("OK2"));

        r = server->command({ "devices" });
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains(QRegularExpression(
                     "\ndev-k\t[0-9a-f]{16}\tKim\t2\t2026-03-06 14:05:09\ttracking\n")),
            qPrintable(r.out));
        QCOMPARE(server->command({ "add-user", "Lee" }).exitCode, 0);
        r = server->command({ "users" });
        QVERIFY2(r.out.contains("\nLee\t-\toperator\t"), qPrintable(r.out));

        const QString file = dir.filePath(QStringLiteral("kim.gpx"));
        r = server->command({ "export-gpx", "dev-k", file });
        QCOMPARE(r.exitCode, 0);
        QFile gpx(file);
        QVERIFY(gpx.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&gpx);
        int points = 0;
        while (!xml.atEnd())
            points += xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"trkpt";
        QVERIFY(!xml.hasError());
        QCOMPARE(points, 2);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // in standard output or error
        QTest::newRow("help") << QStringList { "--help" } << 0 << "stop DEVICE [MESSAGE]";
        QTest::newRow("version") << QStringList { "--version" } << 0
                                 << "peregrix-server " PEREGRIX_VERSION;
        QTest::newRow("bad port") << QStringList { "--port", "80000" } << 2 << "Not a port: 80000";
        QTest::newRow("bad address")
            << QStringList { "--address", "nowhere" } << 2 << "Not an IP address: nowhere";
        QTest::newRow("unknown option") << QStringList { "--fast" } << 2 << "Unknown option 'fast'";
        QTest::newRow("page address without a port")
            << QStringList { "--page-address", "127.0.0.1" } << 2 << "Not an ADDRESS:PORT";
        QTest::newRow("TLS key without a certificate")
            << QStringList { "--tls-key", "k.pem" } << 2 << "--tls-cert and --tls-key go together";
        QTest::newRow("unknown command") << QStringList { "purge" } << 2 << "Unknown command";
        QTest::newRow("stop without a device") << QStringList { "stop" } << 2 << "wrong arguments";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const ServerProcess::Result r = server->command(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
    }

    // Servers starting together on a new database all create its tables; none fails on the
    // others doing the same.
    void simultaneousFirstStartsOnPostgres()
    {
        database = newPostgresDatabase();
        QVERIFY(!database.isEmpty());
        std::vector<std::unique_ptr<QProcess>> starts;
        for (int i = 0; i < 6; ++i) {
            starts.push_back(std::make_unique<QProcess>());
            starts.back()->start(PEREGRIX_SERVER,
                { "--database", database, "add-user", QStringLiteral("name %1").arg(i) });
        }
        for (const auto &process : starts) {
            QVERIFY(process->waitForFinished(30'000));
            QCOMPARE(process->exitCode(), 0);
        }
        TrackingStore store(QStringLiteral("counted"));
        store.open(database);
        QCOMPARE(store.names().size(), 6);
    }

    void postgresAddressesThatFail_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("said");
        QTest::newRow("no database name") << "postgresql://kim@127.0.0.1:5432/"
                                          << "not a PostgreSQL address";
        QTest::newRow("no host") << "postgresql:///tracking"
                                 << "not a PostgreSQL address";
        QTest::newRow("nothing listening") << "postgresql://127.0.0.1:1/tracking"
                                           << "cannot open postgresql://127.0.0.1:1/tracking";
    }
    void postgresAddressesThatFail()
    {
        QFETCH(QString, address);
        QFETCH(QString, said);
        const ServerProcess wrong(QStringLiteral(PEREGRIX_SERVER), address);
        const ServerProcess::Result r = wrong.command({ "users" });
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
    }

    // PostgreSQL restarted under a running server. Right after a restart the server's
    // connection is dead: the next request, a report or a read, is served on a new one. While
    // the database is away, requests get the server error and nothing is acknowledged; once
    // it is back, the server connects again by itself.
    void survivesPostgresRestarts()
    {
        database = newPostgresDatabase();
        QVERIFY(!database.isEmpty());
        server = std::make_unique<ServerProcess>(QStringLiteral(PEREGRIX_SERVER), database);
        QVERIFY2(server->start(), qPrintable(server->output()));
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));
        QCOMPARE(get(report(1)), QByteArray("OK1"));

        const auto restart = [this] { return postgres->stop() && postgres->startAgain(); };
        QVERIFY2(restart(), qPrintable(postgres->error()));
        QCOMPARE(get(report(2)), QByteArray("OK2"));
        QVERIFY2(restart(), qPrintable(postgres->error()));
        QVERIFY(get("getmyinfo.php?d=dev-k&ver=v2.5").contains("Reports,2|"));

        QVERIFY2(postgres->stop(), qPrintable(postgres->error()));
        for (int attempt = 0; attempt < 2; ++attempt)
            QCOMPARE(get(report(3)), QByteArray("Server error: please try again later"));
        QVERIFY2(postgres->startAgain(), qPrintable(postgres->error()));
        QCOMPARE(get(report(3)), QByteArray("OK3"));
        QVERIFY(server->isRunning());

        TrackingStore store(QStringLiteral("check"));
        store.open(database);
        QCOMPARE(store.summary(QStringLiteral("dev-k")).reports, 3);
    }

    // A database host that stops answering, reached through a relay that cuts the server's
    // connections and then takes new ones without a word. The serving thread gives up on it
    // within a quarter of a second rather than wait out libpq's connection timeout, answers
    // the server error, and connects again once the host answers.
    void postgresHostThatStopsAnswering()
    {
        database = newPostgresDatabase();
        QVERIFY(!database.isEmpty());
        TcpRelay relay(postgres->port());
        database.replace(
            QStringLiteral(":%1/").arg(postgres->port()), QStringLiteral(":%1/").arg(relay.port()));
        server = std::make_unique<ServerProcess>(QStringLiteral(PEREGRIX_SERVER), database);
        QVERIFY2(server->start(), qPrintable(server->output()));
        const QString validation = QStringLiteral("log.php?u=Kim&d=dev-k");
        QCOMPARE(get(validation), QByteArray("VALIDATED"));

        relay.setSilent(true);
        QElapsedTimer waited;
        waited.start();
        for (int attempt = 0; attempt < 2; ++attempt)
            QCOMPARE(get(validation), QByteArray("Server error: please try again later"));
        QVERIFY2(waited.elapsed() < 2000, qPrintable(QString::number(waited.elapsed())));

        relay.setSilent(false);
        QTest::qWait(1100); // past the pause after an unanswered probe
        QCOMPARE(get(validation), QByteArray("VALIDATED"));
    }

    // With 400 files, 208 connections are held (room is left for the database, the listener
    // and a burst of refusals); the next is refused, from whichever source it comes.
    void capsConnectionsToItsFiles()
    {
        server->setFileLimit(400);
        QVERIFY2(server->start(), qPrintable(server->output()));
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i < 208; ++i) {
            held.push_back(
                connectionFrom(QStringLiteral("127.0.3.%1").arg(1 + i / 100), server->port()));
            QVERIFY(ping(*held.back()).endsWith("pong"));
        }
        auto refused = connectionFrom(QStringLiteral("127.0.3.9"), server->port());
        QVERIFY(ping(*refused).startsWith("HTTP/1.1 503 Service Unavailable\r\n"));
        QTRY_COMPARE(refused->state(), QAbstractSocket::UnconnectedState);
        held.pop_back();
        // Refused until the server has seen that one go.
        QTRY_VERIFY(
            ping(*connectionFrom(QStringLiteral("127.0.3.9"), server->port())).endsWith("pong"));
    }

    // 2,000 connections trickle a request a byte at a time; a fresh client is answered within
    // a second meanwhile, each of them is answered "408" and closed once its request has taken
    // 10 s, and the server's memory stays under 100 MB.
    void holdsTricklingConnections()
    {
        constexpr int connections = 2000;
        rlimit files {};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &files), 0);
        files.rlim_cur = std::max(files.rlim_cur, std::min<rlim_t>(files.rlim_max, 4096));
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &files), 0);
        QVERIFY2(files.rlim_cur >= connections + 200, "the test needs 2,200 open files");
        QVERIFY2(server->start(), qPrintable(server->output()));
        std::vector<std::unique_ptr<QTcpSocket>> trickling;
        int ended = 0, timedOut = 0;
        for (int i = 0; i < connections; ++i) {
            // 100 from each source, under the cap per source.
            trickling.push_back(
                connectionFrom(QStringLiteral("127.0.1.%1").arg(1 + i / 100), server->port()));
            QTcpSocket *socket = trickling.back().get();
            connect(socket, &QTcpSocket::disconnected, socket, [&, socket] {
                ++ended;
                timedOut += socket->readAll().startsWith("HTTP/1.1 408 Request Timeout");
            });
            socket->write("G");
            if (i % 100 == 99)
                QTest::qWait(50); // lets the server take them in as they come
        }
        QElapsedTimer sinceFirstBytes;
        sinceFirstBytes.start();
        QTimer trickle;
        connect(&trickle, &QTimer::timeout, &trickle, [&] {
            for (const auto &socket : trickling) {
                if (socket->state() == QAbstractSocket::ConnectedState)
                    socket->write("E");
            }
        });
        trickle.start(1000);
        QList<qint64> pingTimes;
        for (int round = 0; round < 3; ++round) {
            QTest::qWait(2000);
            auto fresh = connectionFrom(QStringLiteral("127.0.2.1"), server->port());
            QElapsedTimer clock;
            clock.start();
            QVERIFY(ping(*fresh, 1000).endsWith("pong"));
            pingTimes << clock.elapsed();
        }
        QVERIFY2(ended == 0, qPrintable(QString::number(ended)));
        QTRY_VERIFY_WITH_TIMEOUT(ended == connections, 20'000);
        const qint64 allEnded = sinceFirstBytes.elapsed();
        const qint64 peak = server->memoryKiB("VmHWM");
        qInfo("%d trickling connections: /ping answered in %lld, %lld and %lld ms; all answered "
              "408 and closed %lld ms after their first bytes; server's peak memory %lld KiB",
            connections, pingTimes[0], pingTimes[1], pingTimes[2], allEnded, peak);
        QCOMPARE(timedOut, connections);
        QVERIFY(allEnded >= ConnectionGuard::requestDeadlineMs - 1000);
        // AddressSanitizer's shadow memory and quarantine take several times the server's own.
#ifndef __SANITIZE_ADDRESS__
        QVERIFY2(peak > 0 && peak < 100 * 1024, qPrintable(QString::number(peak)));
#endif
    }

    void closedRegistrationWithoutTestUser()
    {
        QVERIFY(server->start({ "--closed-registration", "--no-test-user" }));
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("NOT VALIDATED"));
        QCOMPARE(server->command({ "add-user", "Kim" }).exitCode, 0);
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));
        QCOMPARE(get(report(1).replace("u=Kim", "u=test")),
            QByteArray("~The test user is not taken by this server"));
    }

    // What the demo shows: each newly stored report once, and nothing a device sent unprintable.
    void printsEachStoredReport()
    {
        QVERIFY(server->start({ "--print-reports" }));
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));
        QCOMPARE(get(report(1)), QByteArray("OK1"));
        QCOMPARE(get(report(1)), QByteArray("OK1")); // already stored: not printed again
        QCOMPARE(get(report(2, true).replace("3 KPH", "3 KPH\u202e")), QByteArray("OK2"));
        QTRY_VERIFY(server->output().contains("id 2"));
        const QString out = server->output();
        QCOMPARE(out.count("  id 1"), 1);
        QVERIFY2(
            out.contains("14:05:09  Kim  51.000001, -0.127500  3 KPH  id 1\n"), qPrintable(out));
        QVERIFY2(out.contains("14:05:09  Kim  51.000002, -0.127500  3 KPH?  id 2  late\n"),
            qPrintable(out));
        QVERIFY(!out.contains("dev-k"));
    }

    // Both listeners speak TLS with a certificate of the operator's, here a self-signed one;
    // plain HTTP gets nothing from them.
    void servesOverTls()
    {
        const QString key = dir.filePath("key.pem"), certificate = dir.filePath("cert.pem");
        QProcess openssl;
        openssl.start("openssl",
            { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out",
                certificate });
        QVERIFY(openssl.waitForFinished(60'000));
        QCOMPARE(openssl.exitCode(), 0);
        server->setFileLimit(194); // caps of 2 connections, as in capsConnectionsToItsFiles
        QVERIFY2(server->start({ "--tls-cert", certificate, "--tls-key", key }),
            qPrintable(server->output()));
        QVERIFY(server->output().contains("listening on https://127.0.0.1:"));
        QSslConfiguration trust = QSslConfiguration::defaultConfiguration();
        trust.setCaCertificates(QSslCertificate::fromPath(certificate));
        // TLS connections count against the caps, and the one past them is told so over TLS.
        {
            std::vector<std::unique_ptr<QSslSocket>> held;
            QList<QByteArray> answers;
            for (int i = 0; i < 3; ++i) {
                held.push_back(std::make_unique<QSslSocket>());
                held.back()->setSslConfiguration(trust);
                held.back()->connectToHostEncrypted(QStringLiteral("127.0.0.1"), server->port());
                answers << ping(*held.back());
            }
            QVERIFY(answers[0].endsWith("pong") && answers[1].endsWith("pong"));
            QVERIFY2(answers[2].startsWith("HTTP/1.1 503 Service Unavailable\r\n"),
                answers[2].constData());
        }
        const auto secureGet = [&](QString url) {
            QNetworkRequest request(QUrl(url.replace("http://", "https://")));
            request.setSslConfiguration(trust);
            QNetworkReply *reply = network.get(request);
            if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10'000))
                return QByteArray("(no answer)");
            reply->deleteLater();
            return reply->error() == QNetworkReply::NoError ? reply->readAll()
                                                            : reply->errorString().toUtf8();
        };
        // Refused until the server has seen them go.
        QTRY_COMPARE(
            secureGet(server->baseUrl() + "log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));
        QCOMPARE(secureGet(server->pageUrl() + "ping"), QByteArray("pong"));
        network.clearConnectionCache(); // frees the caps for the plain request
        QTest::qWait(300);
        QVERIFY(get("ping") != "pong");
    }

    void portInUse()
    {
        QVERIFY(server->start());
        ServerProcess second(QStringLiteral(PEREGRIX_SERVER), database + "2");
        QVERIFY(!second.start({}, server->port()));
        QVERIFY(QTest::qWaitFor([&] { return !second.isRunning(); }));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY2(second.output().contains("cannot listen"), qPrintable(second.output()));
    }

    void terminationClosesTheDatabase()
    {
        QVERIFY(server->start());
        QCOMPARE(get("log.php?u=Kim&d=dev-k"), QByteArray("VALIDATED"));
        QVERIFY(QFile::exists(database + "-wal"));
        server->terminate();
        QCOMPARE(server->exitCode(), 0);
        QVERIFY(!QFile::exists(database + "-wal")); // folded into the database on close
    }

    void databaseLocations()
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dir.filePath("data"));
        process.setProcessEnvironment(environment);
        process.start(PEREGRIX_SERVER, { "users" });
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath("data/peregrix-server/tracking.sqlite")));

        const ServerProcess unwritable(QStringLiteral(PEREGRIX_SERVER), "/proc/none/t.sqlite");
        const ServerProcess::Result r = unwritable.command({ "users" });
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("cannot create the folder /proc/none"), qPrintable(r.err));
    }
};

PEREGRIX_TEST_MAIN(TestServerProcess)
#include "tst_ServerProcess.moc"
