// The server over real HTTP on 127.0.0.1, in the test's process: each exchange byte for byte
// as the program escapes it, oversize and malformed requests, connections that linger, and the
// web page and downloads with hostile data in the database.
#include "GracePeriod.h"
#include "InProcessServer.h"
#include "TestEnvironment.h"

#include "ConnectionLimits.h"

#include "platform/PercentEscapes.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

struct Response
{
    QByteArray statusLine;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool closed = false;
};

// The body of a chunked response, when its last chunk has come; `used` is then the length of
// the chunks.
std::optional<QByteArray> unchunked(QByteArrayView bytes, qsizetype *used)
{
    QByteArray body;
    for (qsizetype at = 0;;) {
        const qsizetype lineEnd = bytes.indexOf("\r\n", at);
        if (lineEnd < 0)
            return std::nullopt;
        bool ok = false;
        const qsizetype size = bytes.sliced(at, lineEnd - at).toByteArray().toLongLong(&ok, 16);
        if (!ok || bytes.size() < lineEnd + 2 + size + 2)
            return std::nullopt;
        at = lineEnd + 2 + size + 2;
        if (size == 0) {
            *used = at;
            return body;
        }
        body += bytes.sliced(lineEnd + 2, size);
    }
}

// A whole response when the header has ended and Content-Length bytes of body follow, or a
// chunked body has ended; `used` is then its length.
std::optional<Response> parsed(const QByteArray &bytes, qsizetype *used = nullptr)
{
    const qsizetype headerEnd = bytes.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return std::nullopt;
    Response r;
    const QList<QByteArray> lines = bytes.left(headerEnd).split('\n');
    r.statusLine = lines.first().trimmed();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        r.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }
    if (r.headers.value("transfer-encoding") == "chunked") {
        qsizetype chunks = 0;
        const std::optional<QByteArray> body
            = unchunked(QByteArrayView(bytes).sliced(headerEnd + 4), &chunks);
        if (!body)
            return std::nullopt;
        r.body = *body;
        if (used)
            *used = headerEnd + 4 + chunks;
        return r;
    }
    const qsizetype length = r.headers.value("content-length", "-1").toLongLong();
    if (length < 0 || bytes.size() < headerEnd + 4 + length)
        return std::nullopt;
    r.body = bytes.mid(headerEnd + 4, length);
    if (used)
        *used = headerEnd + 4 + length;
    return r;
}

// Every whole response in the bytes, one after the other.
QList<Response> allParsed(QByteArray bytes)
{
    QList<Response> responses;
    qsizetype used = 0;
    while (const std::optional<Response> r = parsed(bytes, &used)) {
        responses.append(*r);
        bytes.remove(0, used);
    }
    return responses;
}

QByteArray getLine(const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

// The request's target as the program makes it: the whole text escaped once.
QByteArray escapedTarget(const QString &text)
{
    return '/' + addingPercentEscapes(text).toLatin1();
}

// A raw connection to the server on 127.0.0.1 that gathers whatever comes back and notes the
// end of the connection.
struct RawConnection
{
    QTcpSocket socket;
    QByteArray received;
    bool ended = false;

    explicit RawConnection(quint16 port)
    {
        QObject::connect(
            &socket, &QTcpSocket::readyRead, &socket, [this] { received += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, &socket, [this] { ended = true; });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
};

} // namespace

class TestServerHttp : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<InProcessServer> inProcess;
    quint16 port = 0;
    quint16 pagePort = 0; // the operator's side

    // Sends the pieces, `pauseMs` apart, and waits for a whole response or the end of the
    // connection; the server runs on this thread, so the wait keeps the event loop going.
    Response exchange(
        const QList<QByteArray> &pieces, int pauseMs = 0, int waitMs = 3000, quint16 to = 0)
    {
        RawConnection c(to != 0 ? to : port);
        if (!QTest::qWaitFor([&] { return c.socket.state() == QAbstractSocket::ConnectedState; }))
            return {};
        for (const QByteArray &piece : pieces) {
            c.socket.write(piece);
            QTest::qWait(pauseMs);
        }
        (void)QTest::qWaitFor([&] { return c.ended || parsed(c.received); }, waitMs);
        Response r = parsed(c.received).value_or(Response {});
        // A refused request is followed by the end of the connection.
        if (r.headers.value("connection") == "close")
            (void)QTest::qWaitFor([&] { return c.ended; }, 2000);
        r.closed = c.ended;
        return r;
    }
    void insert(const QString &sql, const QVariantList &values)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "hostile");
        db.setDatabaseName(dir.filePath(QStringLiteral("t.sqlite")));
        QVERIFY(db.open());
        {
            QSqlQuery q(db);
            QVERIFY(q.prepare(sql));
            for (const QVariant &v : values)
                q.addBindValue(v);
            QVERIFY2(q.exec(), qPrintable(sql));
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("hostile");
    }
    void expectServing()
    {
        const Response r = exchange({ getLine("/ping") });
        QCOMPARE(r.statusLine, QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(r.body, QByteArray("pong"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        inProcess = std::make_unique<InProcessServer>(dir.filePath(QStringLiteral("t.sqlite")),
            TrackingService::Policy {}, QStringLiteral("https://tiles.example/{z}/{x}/{y}.png"));
        port = inProcess->http.listen(QHostAddress::LocalHost, 0, HttpFrontEnd::Side::Public);
        QVERIFY(port != 0);
        pagePort = inProcess->http.listen(QHostAddress::LocalHost, 0, HttpFrontEnd::Side::Operator);
        QVERIFY(pagePort != 0);
        const Response r = exchange({ getLine(escapedTarget("log.php?u=José Ann&d=dev-a")) });
        QCOMPARE(r.body, QByteArray("VALIDATED"));
    }

    void exchangesByteForByte_data()
    {
        QTest::addColumn<QString>("request"); // as the program builds it, before escaping
        QTest::addColumn<QByteArray>("body");
        const QString report = "log.php?u=José Ann&d=dev-a&lat=51.500000&long=-0.127500&when=%1"
                               "&ver=v2.5&acc=65&speed=22 MPH&id=%2";
        QTest::newRow("validated") << "log.php?u=José Ann&d=dev-a" << QByteArray("VALIDATED");
        QTest::newRow("registered name, UTF-8")
            << "log.php?u=?&d=dev-a" << QByteArray("USERJos\xc3\xa9 Ann");
        QTest::newRow("in use") << "log.php?u=josé ann&d=dev-b" << QByteArray("USERNAME IN USE");
        QTest::newRow("not validated") << "log.php?u=a|b&d=dev-b" << QByteArray("NOT VALIDATED");
        QTest::newRow("report") << report.arg("20260306140509").arg(17) << QByteArray("OK17");
        QTest::newRow("late report")
            << report.arg("20260306140510").arg(18) + "&Late=Y" << QByteArray("OK18");
        QTest::newRow("refusal")
            << QString(report).replace("dev-a", "dev-b").arg("20260306140509").arg(1)
            << QByteArray("~No user name is registered for this device. "
                          "Validate one in Settings.");
        QTest::newRow("malformed report")
            << QString(report).replace("51.500000", "x").arg("1").arg(1)
            << QByteArray("Bad report: latitude missing, not a number "
                          "or out of range");
        QTest::newRow("account information")
            << "getmyinfo.php?d=dev-c&ver=v2.5"
            << QByteArray("User,Not registered|Device,dev-c|Status,"
                          "Tracking allowed|Reports,0|Late reports,0|"
                          "Server,peregrix-server " PEREGRIX_VERSION);
    }
    void exchangesByteForByte()
    {
        QFETCH(QString, request);
        QFETCH(QByteArray, body);
        const Response r = exchange({ getLine(escapedTarget(request)) });
        QCOMPARE(r.statusLine, QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(r.headers.value("content-type"), QByteArray("text/plain; charset=utf-8"));
        QCOMPARE(r.body, body);
        QVERIFY(!r.closed);
    }

    void stoppedDeviceOverHttp()
    {
        QVERIFY(
            inProcess->store.setStopped(QStringLiteral("dev-a"), true, QStringLiteral("Stop now")));
        const Response r = exchange({ getLine(escapedTarget(
            "log.php?u=José Ann&d=dev-a&lat=1.000000&long=2.000000&when=20260306140509&ver=v2.5"
            "&acc=5&speed=n/a&id=3")) });
        QVERIFY(inProcess->store.setStopped(QStringLiteral("dev-a"), false, QString()));
        QCOMPARE(r.body, QByteArray("~~Stop now"));
    }

    void oversizeRequests_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QByteArray>("status");
        const QByteArray fill(16 * 1024, 'a');
        QTest::newRow("long target") << QList<QByteArray> { getLine("/ping?x=" + fill) }
                                     << QByteArray("HTTP/1.1 413 Content Too Large");
        QTest::newRow("long header in pieces") << QList<QByteArray> {
            "GET /ping HTTP/1.1\r\nX: " + fill.left(9000), fill.left(9000) + "\r\n\r\n"
        } << QByteArray("HTTP/1.1 413 Content Too Large");
        QTest::newRow("body on a GET") << QList<QByteArray> {
            "GET /ping HTTP/1.1\r\nContent-Length: 17000\r\n\r\n" + fill + "a"
        } << QByteArray("HTTP/1.1 413 Content Too Large");
        QTest::newRow("just under the limit")
            << QList<QByteArray> { getLine("/ping?x=" + fill.left(16 * 1024 - 60)) }
            << QByteArray("HTTP/1.1 200 OK");
    }
    void oversizeRequests()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, status);
        const Response r = exchange(pieces, 50);
        QCOMPARE(r.statusLine, status);
        QCOMPARE(r.closed, status != "HTTP/1.1 200 OK");
        expectServing();
    }

    void malformedRequests_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::newRow("binary") << QList<QByteArray> { QByteArray("\x00\x01\x02\x03", 4) };
        QTest::newRow("lower-case method") << QList<QByteArray> { "get /ping HTTP/1.1\r\n\r\n" };
        QTest::newRow("HTTP/2.0") << QList<QByteArray> { "GET /ping HTTP/2.0\r\n\r\n" };
        QTest::newRow("no version") << QList<QByteArray> { "GET /ping\r\n\r\n" };
        QTest::newRow("blank in the target") << QList<QByteArray> { "GET /pi ng HTTP/1.1\r\n\r\n" };
        QTest::newRow("control byte in the target")
            << QList<QByteArray> { "GET /pi\x01ng HTTP/1.1\r\n\r\n" };
        QTest::newRow("bad line in pieces")
            << QList<QByteArray> { "GE", "T /ping HT", "XP/1.1\r\n\r\n" };
    }
    void malformedRequests()
    {
        QFETCH(QList<QByteArray>, pieces);
        const Response r = exchange(pieces, 50);
        QCOMPARE(r.statusLine, QByteArray("HTTP/1.1 400 Bad Request"));
        QVERIFY(r.closed);
        expectServing();
    }

    void requestsInPiecesAndInTurn()
    {
        Response r = exchange({ "GET /pi", "ng HTT", "P/1.1\r\nHo", "st: x\r\n\r\n" }, 50);
        QCOMPARE(r.body, QByteArray("pong"));
        RawConnection c(port);
        const QByteArray &received = c.received;
        // Reports wait for their commit, and the /ping after them must not overtake them; a
        // burst is stored in the order it came in.
        const auto report = [](int id) {
            return getLine(escapedTarget(QStringLiteral(
                "log.php?u=José Ann&d=dev-a&lat=51.5&long=-0.1&when=20260306140509&ver=v2.5"
                "&acc=5&speed=3 KPH&id=%1")
                                             .arg(id)));
        };
        c.socket.write(getLine("/ping") + getLine("/log.php?u=?&d=dev-a") + report(9) + report(8)
            + getLine("/ping") + report(7));
        QVERIFY(QTest::qWaitFor([&] { return received.count("HTTP/1.1 200 OK") == 6; }));
        QList<qsizetype> order;
        for (const QByteArray body : { "pong", "USERJos\xc3\xa9 Ann", "OK9", "OK8" })
            order << received.indexOf(body);
        order << received.lastIndexOf("pong") << received.indexOf("OK7");
        QVERIFY2(std::is_sorted(order.cbegin(), order.cend()), received.constData());
        QList<int> stored;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "order");
            db.setDatabaseName(dir.filePath(QStringLiteral("t.sqlite")));
            QVERIFY(db.open());
            QSqlQuery q(QStringLiteral("SELECT report_id FROM reports"
                                       " WHERE report_id IN (7, 8, 9) ORDER BY id"),
                db);
            while (q.next())
                stored << q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase("order");
        QCOMPARE(stored, (QList<int> { 9, 8, 7 }));
    }

    // Each row is one write; every response that comes back is parsed in turn.
    void howEachRequestIsAnswered_data()
    {
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<QList<QByteArray>>("statuses");
        QTest::addColumn<QList<QByteArray>>("bodies");
        QTest::addColumn<bool>("closed");
        const QByteArray ping = getLine("/ping");
        const QByteArray closing = "GET /ping HTTP/1.1\r\nConnection: close\r\n\r\n";
        const QByteArray nine = getLine("/ping?x=" + QByteArray(9 * 1024, 'a'));
        const QByteArray badQuery = "Bad request: the query is not percent-encoded UTF-8";
        QTest::newRow("HTTP/1.0 ends the connection")
            << QByteArray("GET /ping HTTP/1.0\r\n\r\n") << QList<QByteArray> { "200" }
            << QList<QByteArray> { "pong" } << true;
        QTest::newRow("so does Connection: close")
            << closing << QList<QByteArray> { "200" } << QList<QByteArray> { "pong" } << true;
        QTest::newRow("close among other options")
            << QByteArray("GET /ping HTTP/1.1\r\nConnection: keep-alive, Close\r\n\r\n")
            << QList<QByteArray> { "200" } << QList<QByteArray> { "pong" } << true;
        QTest::newRow("nothing after the closing request is answered")
            << closing + ping << QList<QByteArray> { "200" } << QList<QByteArray> { "pong" }
            << true;
        QTest::newRow("HEAD gets no body")
            << "HEAD /ping HTTP/1.1\r\n\r\n" + ping << QList<QByteArray> { "405", "200" }
            << QList<QByteArray> { "", "pong" } << false;
        QTest::newRow("two requests of 9 KiB in one write")
            << nine + nine << QList<QByteArray> { "200", "200" }
            << QList<QByteArray> { "pong", "pong" } << false;
        QTest::newRow("malformed escape in the raw query")
            << getLine("/log.php?u=%zz&d=dev-a") << QList<QByteArray> { "200" }
            << QList<QByteArray> { badQuery } << false;
        QTest::newRow("lone % in the raw query")
            << getLine("/log.php?u=Ann%&d=dev-a") << QList<QByteArray> { "200" }
            << QList<QByteArray> { badQuery } << false;
        QTest::newRow("malformed escape in the path")
            << getLine("/pi%zzng") << QList<QByteArray> { "400" }
            << QList<QByteArray> { "Bad request" } << false;
    }
    void howEachRequestIsAnswered()
    {
        QFETCH(QByteArray, requests);
        QFETCH(QList<QByteArray>, statuses);
        QFETCH(QList<QByteArray>, bodies);
        QFETCH(bool, closed);
        RawConnection c(port);
        const QByteArray &received = c.received;
        const bool &ended = c.ended;
        c.socket.write(requests);
        QVERIFY(QTest::qWaitFor([&] { return allParsed(received).size() >= statuses.size(); }));
        // Long enough for a reply too many, or for the end of the connection, to arrive.
        (void)QTest::qWaitFor([&] { return ended; }, gracePeriodMs);
        const QList<Response> responses = allParsed(received);
        QCOMPARE(responses.size(), statuses.size());
        for (qsizetype i = 0; i < responses.size(); ++i) {
            QVERIFY2(responses[i].statusLine.startsWith("HTTP/1.1 " + statuses[i]),
                responses[i].statusLine.constData());
            QCOMPARE(responses[i].body, bodies[i]);
        }
        QCOMPARE(responses.last().headers.value("connection") == "close", closed);
        QCOMPARE(ended, closed);
    }

    // A download's length is not known before it ends: it goes to an HTTP/1.1 client in chunks,
    // and to an HTTP/1.0 one as it is, ended by the end of the connection.
    void downloadsEndAsTheRequestAsks_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<bool>("closed");
        const QByteArray line = "GET /track.geojson?a="
            + inProcess->store.aliasOf(QStringLiteral("dev-a")).toLatin1();
        QTest::newRow("HTTP/1.1 keeps the connection") << line + " HTTP/1.1\r\n\r\n"
                                                       << true << false;
        QTest::newRow("Connection: close ends it after the last chunk") << line
                + " HTTP/1.1\r\nConnection: close\r\n\r\n" << true << true;
        QTest::newRow("HTTP/1.0 gets the body unchunked, up to the end") << line
                + " HTTP/1.0\r\n\r\n" << false << true;
    }
    void downloadsEndAsTheRequestAsks()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, chunked);
        QFETCH(bool, closed);
        const QByteArray alias = inProcess->store.aliasOf(QStringLiteral("dev-a")).toLatin1();
        const QByteArray whole = inProcess->http
                                     .answer(HttpFrontEnd::Side::Operator, "GET",
                                         QStringLiteral("/track.geojson"), "a=" + alias)
                                     .body;
        QVERIFY(whole.contains("\"coordinates\""));
        RawConnection c(pagePort);
        const QByteArray &received = c.received;
        const bool &ended = c.ended;
        c.socket.write(request);
        QVERIFY(QTest::qWaitFor([&] { return ended || parsed(received); }));
        (void)QTest::qWaitFor([&] { return ended; }, gracePeriodMs);
        QCOMPARE(ended, closed);
        const qsizetype headEnd = received.indexOf("\r\n\r\n");
        QVERIFY(headEnd > 0);
        const QByteArray head = received.first(headEnd).toLower();
        QCOMPARE(head.contains("\r\ntransfer-encoding: chunked"), chunked);
        QCOMPARE(head.contains("\r\nconnection: close"), closed);
        QCOMPARE(
            chunked ? parsed(received).value_or(Response {}).body : received.sliced(headEnd + 4),
            whole);
    }

    void connectionsPastTheCapAreRefused()
    {
        std::vector<std::unique_ptr<QTcpSocket>> held;
        const auto connectFrom = [&](const char *address) {
            held.push_back(std::make_unique<QTcpSocket>());
            held.back()->bind(QHostAddress(QLatin1String(address)));
            held.back()->connectToHost(QHostAddress::LocalHost, port);
            return held.back().get();
        };
        // Answered one by one, so that the server has taken each before the next comes.
        for (int i = 0; i < ConnectionLimits::defaultPerAddress; ++i) {
            QTcpSocket *socket = connectFrom("127.0.0.1");
            socket->write(getLine("/ping"));
            QVERIFY(QTest::qWaitFor([socket] { return socket->bytesAvailable() > 0; }));
        }
        QTcpSocket *refused = connectFrom("127.0.0.1");
        QTRY_VERIFY(refused->bytesAvailable() > 0);
        QVERIFY(refused->readAll().startsWith("HTTP/1.1 503 Service Unavailable\r\n"));
        QTRY_COMPARE(refused->state(), QAbstractSocket::UnconnectedState);
        // Another source is not held up by this one's connections.
        QTcpSocket *other = connectFrom("127.0.0.2");
        other->write(getLine("/ping"));
        QByteArray pong;
        QTRY_VERIFY((pong += other->readAll()).endsWith("pong"));
        held.clear();
        QTRY_COMPARE(exchange({ getLine("/ping") }).body, QByteArray("pong"));
    }

    // Out of files, accepting fails while the listening socket stays readable: the server
    // must neither spin on it nor stop accepting for good.
    void keepsAcceptingAfterRunningOutOfFiles()
    {
        rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
        QTest::qWait(200); // for the server to close what earlier tests left, freeing files
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port); // takes its file now
        rlimit low = saved;
        low.rlim_cur = QDir(QStringLiteral("/proc/self/fd")).count() + 8;
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> fillers;
        for (int fd = ::dup(0); fd >= 0; fd = ::dup(0))
            fillers.push_back(fd);
        timespec before {}, after {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
        QTest::qWait(1500);
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
        for (const int fd : fillers)
            ::close(fd);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
        const double cpuSeconds
            = double(after.tv_sec - before.tv_sec) + double(after.tv_nsec - before.tv_nsec) / 1e9;
        qInfo("CPU time while out of files: %.3f s in 1.5 s", cpuSeconds);
        QVERIFY2(cpuSeconds < 0.5, qPrintable(QString::number(cpuSeconds)));
        client.write(getLine("/ping"));
        QByteArray reply;
        QTRY_VERIFY_WITH_TIMEOUT((reply += client.readAll()).endsWith("pong"), 5000);
    }

    void lingeringConnectionsDoNotHoldOthersUp()
    {
        std::vector<std::unique_ptr<QTcpSocket>> lingering;
        for (int i = 0; i < 200; ++i) {
            lingering.push_back(std::make_unique<QTcpSocket>());
            // From a source of their own, as those past its cap would be refused.
            lingering.back()->bind(QHostAddress(QStringLiteral("127.0.0.3")));
            lingering.back()->connectToHost(QHostAddress::LocalHost, port);
            lingering.back()->write("GET /log.php?u=");
        }
        // Each has its half request out, or has been turned away.
        QTRY_VERIFY(std::all_of(lingering.cbegin(), lingering.cend(), [](const auto &socket) {
            return socket->state() != QAbstractSocket::ConnectingState && !socket->bytesToWrite();
        }));
        QElapsedTimer clock;
        clock.start();
        expectServing();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }

    // The page's scripts come from the server itself: its own, and Debian's Leaflet.
    void scriptsOfThePage_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("holds");
        QTest::newRow("map.js") << QByteArray("/map.js") << QByteArray("text/javascript")
                                << QByteArray("L.map(");
        QTest::newRow("leaflet.js") << QByteArray("/leaflet/leaflet.js")
                                    << QByteArray("text/javascript") << QByteArray("Leaflet");
        QTest::newRow("leaflet.css") << QByteArray("/leaflet/leaflet.css") << QByteArray("text/css")
                                     << QByteArray(".leaflet-container");
    }
    void scriptsOfThePage()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, holds);
        const Response r = exchange({ getLine(path) }, 0, 3000, pagePort);
        QCOMPARE(r.statusLine, QByteArray("HTTP/1.1 200 OK"));
        QVERIFY(r.headers.value("content-type").startsWith(type));
        QVERIFY(r.body.contains(holds));
        QCOMPARE(
            exchange({ getLine("/leaflet/images/marker-icon.png") }, 0, 3000, pagePort).statusLine,
            QByteArray("HTTP/1.1 404 Not Found"));
    }

    void webPageEscapesWhatTheDatabaseHolds()
    {
        const QString name = QStringLiteral("<script>alert('x')</script>&\"");
        const QString device = QStringLiteral("dev\"><img src=x onerror=alert(1)>");
        const QString alias = inProcess->store.aliasOf(device);
        insert("INSERT INTO devices (device, alias, first_seen, last_active) VALUES (?, ?, '', '')",
            { device, alias });
        insert("INSERT INTO users (name, folded, device, created) VALUES (?, ?, ?, '')",
            { name, name, device });
        insert("INSERT INTO reports (device, user_name, latitude, longitude, device_time, version,"
               " accuracy, speed, report_id, late, received) VALUES (?, ?, 1.5, 2.5,"
               " '20260306140509', 'v2.5', 5, '<b>fast</b>', 1, 1, '')",
            { device, name });
        const Response r = exchange({ getLine("/") }, 0, 3000, pagePort);
        QCOMPARE(r.statusLine, QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(r.headers.value("content-type"), QByteArray("text/html; charset=utf-8"));
        const QByteArray policy = r.headers.value("content-security-policy");
        QVERIFY(policy.startsWith("default-src 'none'; script-src 'self'; connect-src 'self';"));
        QVERIFY(policy.endsWith("img-src 'self' data: https://tiles.example"));
        const QString page = QString::fromUtf8(r.body);
        // The page's own two scripts and style sheet, and nothing of what the database held.
        QCOMPARE(page.count("<script"), 2);
        QCOMPARE(page.count("<link"), 1);
        QCOMPARE(page.count("src=\""), 2);
        for (const char *raw : { "<img", "<b>", "url(" })
            QVERIFY2(!page.contains(QLatin1String(raw)), raw);
        QVERIFY(page.contains("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;"));
        // The device's identifier is its credential: the page shows its alias instead.
        QVERIFY(!page.contains("onerror"));
        QVERIFY(page.contains("&lt;b&gt;fast&lt;/b&gt;"));
        QVERIFY(page.contains("href=\"track.gpx?a=" + alias + "\""));
        const qsizetype heading = page.indexOf("&#8212; " + alias);
        const QString section = page.mid(heading, page.indexOf("</section>", heading) - heading);
        QCOMPARE(section.count("<circle class=\"late\""), 1);
        QCOMPARE(section.count("<circle"), 1);

        const Response gpx
            = exchange({ getLine("/track.gpx?a=" + alias.toLatin1()) }, 0, 3000, pagePort);
        QCOMPARE(gpx.headers.value("content-type"), QByteArray("application/gpx+xml"));
        QCOMPARE(gpx.headers.value("content-disposition"),
            "attachment; filename=\"track-" + alias.toLatin1() + ".gpx\"");
        QVERIFY(!gpx.body.contains("onerror"));
        QXmlStreamReader xml(gpx.body);
        QString trackName;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"name")
                trackName = xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(trackName, name);
    }

    // A write lock that another process holds for long must not hold up the serving thread:
    // the validation that needs the lock waits, and everything else is answered meanwhile.
    void aLockedDatabaseDoesNotStopTheServer()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "locker");
        db.setDatabaseName(dir.filePath(QStringLiteral("t.sqlite")));
        QVERIFY(db.open());
        QSqlQuery lock(db);
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QTcpSocket waiting;
        QByteArray validation;
        connect(
            &waiting, &QTcpSocket::readyRead, &waiting, [&] { validation += waiting.readAll(); });
        QElapsedTimer clock;
        clock.start();
        waiting.connectToHost(QHostAddress::LocalHost, port);
        waiting.write(getLine(escapedTarget("log.php?u=Locked Out&d=dev-l")));
        QTest::qWait(300); // the validation is waiting for the lock by now
        expectServing();
        QCOMPARE(exchange({ getLine(escapedTarget("log.php?u=?&d=dev-a")) }).body,
            QByteArray("USERJos\xc3\xa9 Ann"));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(validation.isEmpty());
        QVERIFY(lock.exec(QStringLiteral("COMMIT")));
        QVERIFY(QTest::qWaitFor([&] { return validation.endsWith("VALIDATED"); }, 10'000));
        lock = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("locker");
    }
};

PEREGRIX_TEST_MAIN(TestServerHttp)
#include "tst_ServerHttp.moc"
