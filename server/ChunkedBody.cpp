// ChunkedBody: a streamed reply's body in HTTP chunks.
#include "ChunkedBody.h"

#include "ConnectionGuard.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray head(const HttpReply &reply, OrderedReplies::Manner manner)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(reply.status)
        + (reply.status == 200 ? " OK" : "") + "\r\nContent-Type: " + reply.contentType + "\r\n";
    if (manner.chunked)
        text += "Transfer-Encoding: chunked\r\n";
    for (const auto &[name, value] : reply.headers)
        text += name + ": " + value + "\r\n";
    if (manner.closeAfter || !manner.chunked)
        text += "Connection: close\r\n";
    return text + "\r\n";
}

} // namespace

ChunkedBody::ChunkedBody(QHttpServerResponder &&responder, const HttpReply &reply,
    OrderedReplies::Manner manner, std::function<void()> finished)
    : m_responder(std::move(responder))
    , m_socket(m_responder.socket())
    , m_stream(reply.stream)
    , m_manner(manner)
    , m_finished(std::move(finished))
{
    setParent(m_socket);
    m_socket->write(head(reply, manner));
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ChunkedBody::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, &ChunkedBody::finish);
    QTimer::singleShot(0, this, m_manner.withoutBody ? &ChunkedBody::complete : &ChunkedBody::pump);
}

void ChunkedBody::pump()
{
    while (!m_done && m_socket && m_socket->isOpen() && m_socket->bytesToWrite() < lowWater) {
        QByteArray piece;
        try {
            piece = m_stream->next();
        } catch (const ReplyStream::Failed &failure) {
            qWarning("peregrix-server: a download was cut short: %s", failure.what());
            // Without the last chunk, the client knows the body is incomplete; without chunks,
            // only a reset tells it.
            m_socket->abort();
            return;
        }
        if (piece.isEmpty()) {
            complete();
            return;
        }
        if (m_manner.chunked)
            m_socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
        else
            m_socket->write(piece);
    }
}

void ChunkedBody::complete()
{
    if (m_done || !m_socket)
        return;
    if (m_manner.chunked && !m_manner.withoutBody)
        m_socket->write("0\r\n\r\n");
    if (m_manner.closeAfter || !m_manner.chunked) {
        if (ConnectionGuard *guard = ConnectionGuard::of(m_socket))
            guard->close();
        else
            m_socket->disconnectFromHost();
    }
    finish();
}

// Deleted later rather than at once: finish() may run inside one of the socket's signals.
void ChunkedBody::finish()
{
    if (m_done)
        return;
    m_done = true;
    m_stream.reset();
    if (m_socket)
        disconnect(m_socket, nullptr, this, nullptr);
    deleteLater();
    if (m_finished)
        m_finished();
}
