// ConnectionGuard: watches one client connection ahead of the HTTP layer: frames its requests
// and refuses those over the size limit or malformed, gives each request a deadline, closes
// connections left idle, and closes the connection after a request that asks for it.
#pragma once

#include "RequestFramer.h"

#include <QObject>
#include <QTimer>

class QTcpSocket;

class ConnectionGuard : public QObject
{
    Q_OBJECT
public:
    static constexpr int idleTimeoutMs = 60'000;
    // From a request's first byte to its last, whatever trickles in meanwhile.
    static constexpr int requestDeadlineMs = 10'000;
    static constexpr int closingTimeoutMs = 5'000;
    // Bytes the connection holds unread at most; the client waits for more to be read.
    static constexpr qint64 readBufferBytes = 4 * RequestFramer::maxRequestBytes;

    // Must be made before the HTTP layer connects to the socket, so that the guard sees each
    // piece of a request first. It becomes a child of the socket.
    explicit ConnectionGuard(QTcpSocket *socket);

    // The guard of a guarded connection, or null.
    [[nodiscard]] static ConnectionGuard *of(QObject *socket);

    // The request the HTTP layer has just parsed, as this guard framed it: to be called once
    // for each request the HTTP layer hands on. Nothing for a request that came after the
    // one the connection closes with; it is not to be answered.
    [[nodiscard]] std::optional<RequestFramer::Request> takeRequest();

    // Sends the refusal and closes the connection.
    void refuse(QByteArrayView status, QByteArrayView message);
    // Closes the connection once what was written to it has gone out; a client that reads
    // nothing does not keep it for more than closingTimeoutMs.
    void close();

private:
    void onReadyRead();
    [[nodiscard]] qint64 unseenBytes() const;

    QTcpSocket *m_socket;
    RequestFramer m_framer;
    QTimer m_idle;
    QTimer m_deadline;
    bool m_closing = false;
};
