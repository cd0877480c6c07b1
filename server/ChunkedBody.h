// ChunkedBody: a streamed reply's body sent in HTTP chunks, as fast as the connection takes them.
#pragma once

#include "HttpReply.h"
#include "OrderedReplies.h"

#include <QHttpServerResponder>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QTcpSocket;

// Only a little of the body is ever held: the next piece is made once the socket has sent
// most of what it was given. The head goes out first, with "Transfer-Encoding: chunked" in
// place of a length, which is not known in advance. A client that knows no chunks gets the
// body as it is, ended by the end of the connection.
class ChunkedBody : public QObject
{
    Q_OBJECT
public:
    // Bytes waiting in the socket before the next piece is made.
    static constexpr qint64 lowWater = 64 * 1024;

    // Sends the reply's head now and its body, unless the manner has none, from the event loop.
    // `finished` is called once the last chunk is out, or the connection has gone or been cut;
    // never before this returns.
    ChunkedBody(QHttpServerResponder &&responder, const HttpReply &reply,
        OrderedReplies::Manner manner, std::function<void()> finished);

private:
    void pump();
    void complete();
    void finish();

    QHttpServerResponder m_responder;
    QPointer<QTcpSocket> m_socket;
    std::shared_ptr<ReplyStream> m_stream;
    const OrderedReplies::Manner m_manner;
    std::function<void()> m_finished;
    bool m_done = false;
};
