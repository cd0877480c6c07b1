// ChunkedBody: a streamed reply's body in HTTP chunks.
#include "ChunkedBody.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray head(const HttpReply &reply)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(reply.status)
        + (reply.status == 200 ? " OK" : "") + "\r\nContent-Type: " + reply.contentType
        + "\r\nTransfer-Encoding: chunked\r\n";
    for (const auto &[name, value] : reply.headers)
        text += name + ": " + value + "\r\n";
    return text + "\r\n";
}

} // namespace

ChunkedBody::ChunkedBody(
    QHttpServerResponder &&responder, const HttpReply &reply, std::function<void()> finished)
    : m_responder(std::move(responder))
    , m_socket(m_responder.socket())
    , m_stream(reply.stream)
    , m_finished(std::move(finished))
{
    setParent(m_socket);
    m_socket->write(head(reply));
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ChunkedBody::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, &ChunkedBody::finish);
    QTimer::singleShot(0, this, &ChunkedBody::pump);
}

void ChunkedBody::pump()
{
    while (!m_done && m_socket && m_socket->isOpen() && m_socket->bytesToWrite() < lowWater) {
        QByteArray piece;
        try {
            piece = m_stream->next();
        } catch (const ReplyStream::Failed &failure) {
            qWarning("peregrix-server: a download was cut short: %s", failure.what());
            m_socket->abort(); // without the last chunk, the client knows the body is incomplete
            return;
        }
        if (piece.isEmpty()) {
            m_socket->write("0\r\n\r\n");
            finish();
            return;
        }
        m_socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
    }
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
