// OrderedReplies: the replies of each connection, sent in the order of its requests.
#include "OrderedReplies.h"

#include "ChunkedBody.h"
#include "ConnectionGuard.h"

#include <QHttpServerResponse>
#include <QPointer>
#include <QTcpSocket>

#include <optional>

class OrderedReplies::Place
{
public:
    Place(QHttpServerResponder &&taken, Manner how)
        : responder(std::move(taken))
        , manner(how)
    { }

    QHttpServerResponder responder;
    QObject *const socket = responder.socket();
    const Manner manner;
    std::optional<HttpReply> reply;
    bool streaming = false; // its body is going out; the replies behind it wait

    void send()
    {
        QHttpServerResponse response(reply->contentType,
            manner.withoutBody ? QByteArray() : reply->body,
            static_cast<QHttpServerResponder::StatusCode>(reply->status));
        for (const auto &[name, value] : reply->headers)
            response.addHeader(name, value);
        if (manner.closeAfter)
            response.addHeader("Connection", "close");
        response.write(std::move(responder));
        if (ConnectionGuard *guard = ConnectionGuard::of(socket); guard && manner.closeAfter)
            guard->close();
    }
};

OrderedReplies::OrderedReplies(QObject *parent)
    : QObject(parent)
{ }

OrderedReplies::~OrderedReplies() = default;

std::shared_ptr<OrderedReplies::Place> OrderedReplies::take(
    QHttpServerResponder &&responder, Manner manner)
{
    auto place = std::make_shared<Place>(std::move(responder), manner);
    auto line = m_lines.find(place->socket);
    if (line == m_lines.end()) {
        line = m_lines.insert(place->socket, {});
        connect(place->socket, &QObject::destroyed, this,
            [this](QObject *socket) { m_lines.remove(socket); });
    }
    line->push_back(place);
    return place;
}

void OrderedReplies::fill(const std::shared_ptr<Place> &place, const HttpReply &reply)
{
    place->reply = reply;
    sendReady(place->socket);
}

void OrderedReplies::sendReady(QObject *socket)
{
    const auto line = m_lines.find(socket);
    if (line == m_lines.end())
        return;
    while (!line->empty() && line->front()->reply && !line->front()->streaming) {
        Place &first = *line->front();
        if (first.reply->stream) {
            first.streaming = true;
            new ChunkedBody(std::move(first.responder), *first.reply, first.manner,
                [replies = QPointer(this), socket] {
                    if (replies)
                        replies->streamed(socket);
                });
            return;
        }
        const std::shared_ptr<Place> sent = std::move(line->front());
        line->pop_front();
        sent->send();
    }
}

void OrderedReplies::streamed(QObject *socket)
{
    const auto line = m_lines.find(socket);
    if (line == m_lines.end() || line->empty())
        return;
    line->pop_front();
    const auto *tcp = qobject_cast<const QTcpSocket *>(socket);
    if (tcp && tcp->state() == QAbstractSocket::ConnectedState)
        sendReady(socket);
}
