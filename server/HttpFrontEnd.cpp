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

const QString paths[]
    = { QStringLiteral("/"), QStringLiteral("/log.php"), QStringLiteral("/getmyinfo.php"),
          QStringLiteral("/track.gpx"), QStringLiteral("/track.geojson"), QStringLiteral("/ping"),
          QStringLiteral("/map.js"), QStringLiteral("/leaflet/leaflet.js"),
          QStringLiteral("/leaflet/leaflet.css") };

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
    auto *tcp = new GuardedTcpServer(this);
    if (!tcp->listen(address, port)) {
        qWarning("peregrix-server: cannot listen on %s port %u: %s", qPrintable(address.toString()),
            unsigned(port), qPrintable(tcp->errorString()));
        delete tcp;
        return 0;
    }
    m_http.bind(tcp);
    return tcp->serverPort();
}

void HttpFrontEnd::respond(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    const QUrl url = request.url();
    const std::shared_ptr<OrderedReplies::Place> place = m_replies.take(std::move(responder));
    answer(methodName(request.method()), url.path(), url.query(QUrl::FullyEncoded).toLatin1(),
        [replies = QPointer(&m_replies), place](const HttpReply &reply) {
            if (replies) // a report's reply may come after the server has closed
                replies->fill(place, reply);
        });
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
