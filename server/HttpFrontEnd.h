// HttpFrontEnd: the server's HTTP side: listens, and hands each GET to the exchange or page its
// path names.
#pragma once

#include "ConnectionLimits.h"
#include "HttpReply.h"
#include "OrderedReplies.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QObject>

class TrackingService;
class WebPages;

class HttpFrontEnd : public QObject
{
    Q_OBJECT
public:
    HttpFrontEnd(TrackingService &service, WebPages &pages, QObject *parent = nullptr);

    // The port listened on (the chosen one when `port` is 0), or 0 when it cannot listen.
    [[nodiscard]] quint16 listen(const QHostAddress &address, quint16 port);

    using Answer = std::function<void(const HttpReply &)>;

    // The reply to a request: its method, its decoded path and its query as it arrived. A
    // report's reply waits for the commit that stores it.
    void answer(QByteArrayView method, const QString &path, const QByteArray &query,
        const Answer &answer);
    // The same, answered before it returns.
    [[nodiscard]] HttpReply answer(
        QByteArrayView method, const QString &path, const QByteArray &query);

private:
    void respond(const QHttpServerRequest &request, QHttpServerResponder &&responder);

    TrackingService &m_service;
    WebPages &m_pages;
    // Counts the connections until the last one is gone, so it goes after the HTTP layer.
    ConnectionLimits m_limits;
    OrderedReplies m_replies;
    QHttpServer m_http;
};
