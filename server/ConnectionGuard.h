// ConnectionGuard: watches one client connection ahead of the HTTP layer: refuses requests over
// the size limit or without a proper request line, and closes connections left idle.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;

class ConnectionGuard : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxRequestBytes = 16 * 1024;
    static constexpr int idleTimeoutMs = 60'000;
    static constexpr int closingTimeoutMs = 5'000;

    enum class Verdict { Incomplete, Good, Bad };
    // Whether the bytes a request starts with make a request line: a method in capitals, a
    // target, and HTTP/1.0 or HTTP/1.1.
    [[nodiscard]] static Verdict requestLine(QByteArrayView start);

    // Must be made before the HTTP layer connects to the socket, so that the guard sees each
    // piece of a request first. It becomes a child of the socket.
    explicit ConnectionGuard(QTcpSocket *socket);

private:
    void onReadyRead();
    void refuse(QByteArrayView status, QByteArrayView message);

    QTcpSocket *m_socket;
    QTimer m_idle;
    qint64 m_requestBytes = 0;
    QByteArray m_line; // the request line while it is incomplete
    bool m_lineChecked = false;
    bool m_closing = false;
};
