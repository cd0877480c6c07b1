// ConnectionGuard: framing, size limit, deadlines and closing of one connection.
#include "ConnectionGuard.h"

#include <QTcpSocket>

ConnectionGuard::ConnectionGuard(QTcpSocket *socket)
    : QObject(socket)
    , m_socket(socket)
{
    socket->setReadBufferSize(readBufferBytes);
    connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::onReadyRead);
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, socket, &QTcpSocket::abort);
    m_idle.start(idleTimeoutMs);
    // A client taking a long download sends nothing meanwhile, and is not idle for that. A
    // closing connection keeps its own, shorter time.
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (!m_closing)
            m_idle.start(idleTimeoutMs);
    });
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this,
        [this] { refuse("408 Request Timeout", "Request not received in time"); });
}

ConnectionGuard *ConnectionGuard::of(QObject *socket)
{
    return socket ? socket->findChild<ConnectionGuard *>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

std::optional<RequestFramer::Request> ConnectionGuard::takeRequest()
{
    return m_closing ? std::nullopt : m_framer.takeRequest();
}

// The HTTP layer reads each request inside a read transaction, which it commits once the
// request is complete, and reads everything there is while the request is incomplete. So
// inside a transaction, every byte still to read has just arrived; outside one, the HTTP layer
// has taken whole requests only, and what the guard framed beyond them is still there.
qint64 ConnectionGuard::unseenBytes() const
{
    const qint64 available = m_socket->bytesAvailable();
    if (m_socket->isTransactionStarted())
        return available;
    return std::max<qint64>(0, available - m_framer.untakenBytes());
}

void ConnectionGuard::onReadyRead()
{
    if (m_closing) {
        (void)m_socket->readAll();
        return;
    }
    m_idle.start(idleTimeoutMs);
    const qint64 unseen = unseenBytes();
    if (unseen == 0)
        return;
    const QByteArray bytes = m_socket->peek(m_socket->bytesAvailable()).last(unseen);
    if (const std::optional<RequestFramer::Refusal> refusal = m_framer.feed(bytes)) {
        refuse(refusal->status, refusal->message);
        return;
    }
    if (!m_framer.inRequest())
        m_deadline.stop();
    else if (!m_deadline.isActive())
        m_deadline.start(requestDeadlineMs);
}

void ConnectionGuard::refuse(QByteArrayView status, QByteArrayView message)
{
    if (m_closing)
        return;
    // Whatever was read so far is taken out of the HTTP layer's reach, inside its transaction
    // or not, so that it never parses a refused request.
    (void)m_socket->readAll();
    const QByteArray reply = "HTTP/1.1 " + status.toByteArray()
        + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
        + QByteArray::number(message.size()) + "\r\nConnection: close\r\n\r\n"
        + message.toByteArray();
    m_socket->write(reply);
    close();
}

void ConnectionGuard::close()
{
    m_closing = true;
    m_deadline.stop();
    m_socket->disconnectFromHost();
    m_idle.start(closingTimeoutMs);
}
