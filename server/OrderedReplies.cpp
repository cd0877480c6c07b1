// OrderedReplies: the replies of each connection, sent in the order of its requests.
#include "OrderedReplies.h"

#include "ConnectionGuard.h"

#include <QHttpServerResponse>
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
    const auto line = m_lines.find(place->socket);
    if (line == m_lines.end())
        return;
    while (!line->empty() && line->front()->reply) {
        const std::shared_ptr<Place> first = std::move(line->front());
        line->pop_front();
        first->send();
    }
}
