// OrderedReplies: the replies of each connection, sent in the order of its requests.
#pragma once

#include "HttpReply.h"

#include <QHash>
#include <QHttpServerResponder>
#include <QObject>

#include <deque>
#include <memory>

// A client may send its next request before the answer to the previous one (HTTP pipelining),
// and a report's reply waits for its commit while the next request may be answered at once.
// Each connection's replies therefore wait in a line of their own, and one goes out only when
// every reply before it has, a streamed one included.
class OrderedReplies : public QObject
{
    Q_OBJECT
public:
    // One request's place in its connection's line.
    class Place;

    // How a request's reply goes out.
    struct Manner
    {
        // A HEAD request's reply has the headers only.
        bool withoutBody = false;
        // The connection ends once the reply has gone out.
        bool closeAfter = false;
        // A streamed body goes out in chunks. Otherwise it goes out as it is, and its end is the
        // connection's, which closes then.
        bool chunked = true;
    };

    explicit OrderedReplies(QObject *parent = nullptr);
    ~OrderedReplies() override;

    // The next place in the line of the responder's connection.
    [[nodiscard]] std::shared_ptr<Place> take(QHttpServerResponder &&responder, Manner manner);
    // Puts the reply in its place and sends every reply at the head of the line. Once the
    // connection has closed, nothing is sent (Qt deletes a closed connection's socket).
    void fill(const std::shared_ptr<Place> &place, const HttpReply &reply);

private:
    void sendReady(QObject *socket);
    // A streamed reply has gone out whole, or its connection has gone.
    void streamed(QObject *socket);

    QHash<QObject *, std::deque<std::shared_ptr<Place>>> m_lines;
};
