// HttpFrontEnd: the server's HTTP side: listens, and hands each GET to the exchange or page its
// path names.
#pragma once

#include "HttpReply.h"

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

    // The reply to a request: its method, its decoded path and its query as it arrived.
    [[nodiscard]] HttpReply answer(
        QByteArrayView method, const QString &path, const QByteArray &query);

private:
    void respond(const QHttpServerRequest &request, QHttpServerResponder &&responder);

    TrackingService &m_service;
    WebPages &m_pages;
    QHttpServer m_http;
};
