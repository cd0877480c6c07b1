// HttpFrontEnd: routing of GET requests to the exchanges and pages.
#include "HttpFrontEnd.h"

#include "ConnectionGuard.h"
#include "GuardedTcpServer.h"
#include "QueryParameters.h"
#include "TrackingService.h"
#include "WebPages.h"

#include <QPointer>
#include <QRegularExpression>

namespace {

const QString publicPaths[]
    = { QStringLiteral("/log.php"), QStringLiteral("/getmyinfo.php"), QStringLiteral("/ping") };
const QString operatorPaths[] = { QStringLiteral("/"), QStringLiteral("/track.gpx"),
    QStringLiteral("/track.geojson"), QStringLiteral("/ping"), QStringLiteral("/map.js"),
    QStringLiteral("/leaflet/leaflet.js"), QStringLiteral("/leaflet/leaflet.css") };

bool answersOn(HttpFrontEnd::Side side, const QString &path)
{
    const auto has = [&path](const auto &paths) {
        return std::find(std::begin(paths), std::end(paths), path) != std::end(paths);
    };
    return side == HttpFrontEnd::Side::Public ? has(publicPaths) : has(operatorPaths);
}

// The path and query of a request's target as it arrived, before any decoding. The absolute
// form ("http://host/path?query"), which a client talking to a proxy sends, names the same path.
struct RawTarget
{
    QByteArrayView path;
    QByteArrayView query;
};

RawTarget split(QByteArrayView target)
{
    if (!target.startsWith('/')) {
        const qsizetype scheme = target.indexOf("://");
        const qsizetype path = scheme > 0 ? target.indexOf('/', scheme + 3) : -1;
        if (scheme > 0)
            target = path < 0 ? QByteArrayView("/") : target.sliced(path);
    }
    const qsizetype question = target.indexOf('?');
    if (question < 0)
        return { target, {} };
    return { target.first(question), target.sliced(question + 1) };
}

} // namespace

HttpFrontEnd::HttpFrontEnd(TrackingService &service, WebPages &pages, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_pages(pages)
    , m_limits(ConnectionLimits::forThisProcess())
{
    route(m_public, Side::Public);
    route(m_operator, Side::Operator);
}

// Every known path goes to answer(), which also turns away other methods; anything else ends
// in the missing handler, which answers too.
void HttpFrontEnd::route(QHttpServer &http, Side side)
{
    const auto handler
        = [this, side](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
              respond(side, request, std::move(responder));
          };
    const auto add = [&](const auto &paths) {
        for (const QString &path : paths)
            http.route(QRegularExpression::escape(path), handler);
    };
    if (side == Side::Public)
        add(publicPaths);
    else
        add(operatorPaths);
    http.setMissingHandler(handler);
}

quint16 HttpFrontEnd::listen(const QHostAddress &address, quint16 port, Side side)
{
    auto *tcp = new GuardedTcpServer(m_limits, this);
    if (m_tls)
        tcp->setTls(*m_tls);
    if (!tcp->listenOn(address, port)) {
        qWarning("peregrix-server: cannot listen on %s port %u: %s", qPrintable(address.toString()),
            unsigned(port), qPrintable(tcp->errorString()));
        delete tcp;
        return 0;
    }
    (side == Side::Public ? m_public : m_operator).bind(tcp);
    return tcp->serverPort();
}

// The guard framed the request from its raw bytes, and its target is read from there: the HTTP
// layer's URL has been mended already ("%zz" made "%25zz"), which the strict decoding must see.
void HttpFrontEnd::respond(
    Side side, const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    ConnectionGuard *guard = ConnectionGuard::of(responder.socket());
    const std::optional<RequestFramer::Request> framed
        = guard ? guard->takeRequest() : std::nullopt;
    if (!framed)
        return; // it came after the request the connection closes with
    const OrderedReplies::Manner manner { framed->method == "HEAD", framed->closeAfter,
        framed->knowsChunks };
    const std::shared_ptr<OrderedReplies::Place> place
        = m_replies.take(std::move(responder), manner);
    const Answer fill = [replies = QPointer(&m_replies), place](const HttpReply &reply) {
        if (replies) // a report's reply may come after the server has closed
            replies->fill(place, reply);
    };
    const RawTarget target = split(framed->target);
    const std::optional<QString> path = QueryParameters::decoded(target.path);
    if (!path)
        return fill(HttpReply::text("Bad request", 400));
    answer(
        { side, framed->method, *path, target.query.toByteArray(), request.remoteAddress() }, fill);
}

HttpReply HttpFrontEnd::answer(Side side, QByteArrayView method, const QString &path,
    const QByteArray &query, const QHostAddress &from)
{
    std::optional<HttpReply> result;
    answer(
        { side, method, path, query, from }, [&result](const HttpReply &reply) { result = reply; });
    if (!result)
        m_service.commitWaitingReports();
    HttpReply whole = *result;
    whole.body = whole.wholeBody();
    whole.stream.reset();
    return whole;
}

void HttpFrontEnd::answer(const Request &request, const Answer &answer)
{
    const QString &path = request.path;
    if (!answersOn(request.side, path))
        return answer(HttpReply::text("Not found", 404));
    if (request.method != "GET") {
        HttpReply reply = HttpReply::text("Only GET is served here", 405);
        reply.addHeader("Allow", "GET");
        return answer(reply);
    }
    if (path == u"/ping")
        return answer(HttpReply::text("pong"));
    if (path == u"/map.js" || path.startsWith(u"/leaflet/"))
        return answer(m_pages.script(path));
    const std::optional<QueryParameters> parameters = QueryParameters::parse(request.query);
    if (!parameters)
        return answer(HttpReply::text("Bad request: the query is not percent-encoded UTF-8"));
    if (path == u"/log.php")
        return m_service.log(*parameters, request.from, answer);
    if (path == u"/getmyinfo.php")
        return answer(m_service.accountInformation(*parameters));
    if (path == u"/")
        return answer(m_pages.overview(*parameters));
    if (path == u"/track.gpx")
        return answer(m_pages.gpx(*parameters));
    answer(m_pages.geoJson(*parameters));
}
