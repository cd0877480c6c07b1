// HttpFrontEnd: the server's HTTP side: listens, and hands each GET to the exchange or page its
// path names.
#pragma once

#include "ConnectionLimits.h"
#include "HttpReply.h"
#include "OrderedReplies.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QObject>
#include <QSslConfiguration>

#include <optional>

class TrackingService;
class WebPages;

class HttpFrontEnd : public QObject
{
    Q_OBJECT
public:
    // What a listener answers. The program's exchanges go to the public side, which phones reach
    // over the internet. The page and the downloads show where everyone has been, so they go to
    // the operator's side, which by default only this machine reaches. Both answer /ping.
    enum class Side { Public, Operator };

    HttpFrontEnd(TrackingService &service, WebPages &pages, QObject *parent = nullptr);

    // Listeners opened after this speak HTTPS with this certificate and key.
    void setTls(const QSslConfiguration &configuration) { m_tls = configuration; }

    // The port listened on (the chosen one when `port` is 0), or 0 when it cannot listen. The
    // caps on connections count those of every listener together.
    [[nodiscard]] quint16 listen(const QHostAddress &address, quint16 port, Side side);

    using Answer = std::function<void(const HttpReply &)>;

    struct Request
    {
        Side side = Side::Public;
        QByteArrayView method;
        QString path; // decoded
        QByteArray query; // as it arrived
        QHostAddress from; // the connection's peer
    };

    // The reply to a request. A report's reply waits for the commit that stores it.
    void answer(const Request &request, const Answer &answer);
    // The same, answered before it returns, a streamed body gathered whole.
    [[nodiscard]] HttpReply answer(Side side, QByteArrayView method, const QString &path,
        const QByteArray &query, const QHostAddress &from = QHostAddress(QHostAddress::LocalHost));

private:
    void route(QHttpServer &http, Side side);
    void respond(Side side, const QHttpServerRequest &request, QHttpServerResponder &&responder);

    TrackingService &m_service;
    WebPages &m_pages;
    // Counts the connections until the last one is gone, so it goes after the HTTP layer.
    ConnectionLimits m_limits;
    OrderedReplies m_replies;
    std::optional<QSslConfiguration> m_tls;
    QHttpServer m_public;
    QHttpServer m_operator;
};
