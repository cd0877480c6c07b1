// HttpFrontEnd: routing of GET requests to the exchanges and pages.
#include "HttpFrontEnd.h"

#include "GuardedTcpServer.h"
#include "QueryParameters.h"
#include "TrackingService.h"
#include "WebPages.h"

#include <QPointer>
#include <QRegularExpression>
#include <QUrl>

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

QByteArrayView methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    case QHttpServerRequest::Method::Post:
        return "POST";
    default:
        return "OTHER";
    }
}

} // namespace

HttpFrontEnd::HttpFrontEnd(TrackingService &service, WebPages &pages, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_pages(pages)
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
    auto *tcp = new GuardedTcpServer(this);
    if (m_tls)
        tcp->setTls(*m_tls);
    if (!tcp->listen(address, port)) {
        qWarning("peregrix-server: cannot listen on %s port %u: %s", qPrintable(address.toString()),
            unsigned(port), qPrintable(tcp->errorString()));
        delete tcp;
        return 0;
    }
    (side == Side::Public ? m_public : m_operator).bind(tcp);
    return tcp->serverPort();
}

void HttpFrontEnd::respond(
    Side side, const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    const QUrl url = request.url();
    const std::shared_ptr<OrderedReplies::Place> place = m_replies.take(std::move(responder));
    answer({ side, methodName(request.method()), url.path(),
               url.query(QUrl::FullyEncoded).toLatin1(), request.remoteAddress() },
        [replies = QPointer(&m_replies), place](const HttpReply &reply) {
            if (replies) // a report's reply may come after the server has closed
                replies->fill(place, reply);
        });
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
