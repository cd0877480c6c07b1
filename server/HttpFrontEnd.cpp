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

const QString paths[]
    = { QStringLiteral("/"), QStringLiteral("/log.php"), QStringLiteral("/getmyinfo.php"),
          QStringLiteral("/track.gpx"), QStringLiteral("/track.geojson"), QStringLiteral("/ping"),
          QStringLiteral("/map.js"), QStringLiteral("/leaflet/leaflet.js"),
          QStringLiteral("/leaflet/leaflet.css") };

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
    // Every known path goes to answer(), which also turns away other methods; anything else
    // ends in the missing handler, which answers too.
    for (const QString &path : paths) {
        m_http.route(QRegularExpression::escape(path),
            [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                respond(request, std::move(responder));
            });
    }
    m_http.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            respond(request, std::move(responder));
        });
}

quint16 HttpFrontEnd::listen(const QHostAddress &address, quint16 port)
{
    auto *tcp = new GuardedTcpServer(m_limits, this);
    if (!tcp->listenOn(address, port)) {
        qWarning("peregrix-server: cannot listen on %s port %u: %s", qPrintable(address.toString()),
            unsigned(port), qPrintable(tcp->errorString()));
        delete tcp;
        return 0;
    }
    m_http.bind(tcp);
    return tcp->serverPort();
}

// The guard framed the request from its raw bytes, and its target is read from there: the HTTP
// layer's URL has been mended already ("%zz" made "%25zz"), which the strict decoding must see.
void HttpFrontEnd::respond(const QHttpServerRequest &, QHttpServerResponder &&responder)
{
    ConnectionGuard *guard = ConnectionGuard::of(responder.socket());
    const std::optional<RequestFramer::Request> request
        = guard ? guard->takeRequest() : std::nullopt;
    if (!request)
        return; // it came after the request the connection closes with
    const OrderedReplies::Manner manner { request->method == "HEAD", request->closeAfter };
    const std::shared_ptr<OrderedReplies::Place> place
        = m_replies.take(std::move(responder), manner);
    const Answer fill = [replies = QPointer(&m_replies), place](const HttpReply &reply) {
        if (replies) // a report's reply may come after the server has closed
            replies->fill(place, reply);
    };
    const RawTarget target = split(request->target);
    const std::optional<QString> path = QueryParameters::decoded(target.path);
    if (!path)
        return fill(HttpReply::text("Bad request", 400));
    answer(request->method, *path, target.query.toByteArray(), fill);
}

HttpReply HttpFrontEnd::answer(QByteArrayView method, const QString &path, const QByteArray &query)
{
    std::optional<HttpReply> result;
    answer(method, path, query, [&result](const HttpReply &reply) { result = reply; });
    if (!result)
        m_service.commitWaitingReports();
    return *result;
}

void HttpFrontEnd::answer(QByteArrayView method, const QString &path, const QByteArray &query,
    const Answer &answer)
{
    const bool known = std::find(std::begin(paths), std::end(paths), path) != std::end(paths);
    if (!known)
        return answer(HttpReply::text("Not found", 404));
    if (method != "GET") {
        HttpReply reply = HttpReply::text("Only GET is served here", 405);
        reply.addHeader("Allow", "GET");
        return answer(reply);
    }
    if (path == u"/ping")
        return answer(HttpReply::text("pong"));
    if (path == u"/")
        return answer(m_pages.overview());
    if (path == u"/map.js" || path.startsWith(u"/leaflet/"))
        return answer(m_pages.script(path));
    const std::optional<QueryParameters> parameters = QueryParameters::parse(query);
    if (!parameters)
        return answer(HttpReply::text("Bad request: the query is not percent-encoded UTF-8"));
    if (path == u"/log.php")
        return m_service.log(*parameters, answer);
    if (path == u"/getmyinfo.php")
        return answer(m_service.accountInformation(*parameters));
    if (path == u"/track.gpx")
        return answer(m_pages.gpx(*parameters));
    answer(m_pages.geoJson(*parameters));
}
