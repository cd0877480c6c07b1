// ConnectionGuard: size limit, request line check and idle time-out.
#include "ConnectionGuard.h"

#include <QTcpSocket>

#include <algorithm>

namespace {

bool isTargetByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b > 0x20 && b != 0x7F;
}

} // namespace

ConnectionGuard::Verdict ConnectionGuard::requestLine(QByteArrayView start)
{
    while (start.startsWith('\r') || start.startsWith('\n')) // allowed before a request
        start = start.sliced(1);
    const qsizetype blank = start.indexOf(' ');
    const QByteArrayView method = blank < 0 ? start : start.first(blank);
    const bool capitals
        = std::all_of(method.begin(), method.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (!capitals || method.size() > 16 || blank == 0)
        return Verdict::Bad;
    const qsizetype end = start.indexOf('\n');
    if (end < 0)
        return Verdict::Incomplete;
    QByteArrayView line = start.first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    if (blank < 0 || blank > end)
        return Verdict::Bad;
    const QByteArrayView rest = line.sliced(blank + 1);
    const qsizetype second = rest.indexOf(' ');
    if (second <= 0)
        return Verdict::Bad;
    const QByteArrayView target = rest.first(second);
    const QByteArrayView version = rest.sliced(second + 1);
    const bool plainTarget = std::all_of(target.begin(), target.end(), isTargetByte);
    return plainTarget && (version == "HTTP/1.1" || version == "HTTP/1.0") ? Verdict::Good
                                                                           : Verdict::Bad;
}

ConnectionGuard::ConnectionGuard(QTcpSocket *socket)
    : QObject(socket)
    , m_socket(socket)
{
    connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::onReadyRead);
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, socket, &QTcpSocket::abort);
    m_idle.start(idleTimeoutMs);
}

void ConnectionGuard::onReadyRead()
{
    if (m_closing) {
        (void)m_socket->readAll();
        return;
    }
    m_idle.start(idleTimeoutMs);
    // The HTTP layer reads each request inside a read transaction that it commits once the
    // request is complete; no transaction means a new request begins with these bytes.
    if (!m_socket->isTransactionStarted()) {
        m_requestBytes = 0;
        m_line.clear();
        m_lineChecked = false;
    }
    const qint64 arrived = m_socket->bytesAvailable();
    m_requestBytes += arrived;
    if (m_requestBytes > maxRequestBytes) {
        refuse("413 Content Too Large", "Request too large");
        return;
    }
    if (m_lineChecked)
        return;
    // Only the bytes that arrived now are unread by the HTTP layer; earlier ones are kept here.
    m_line += m_socket->peek(arrived);
    const Verdict verdict = requestLine(m_line);
    if (verdict == Verdict::Bad) {
        refuse("400 Bad Request", "Bad request");
        return;
    }
    if (verdict == Verdict::Good) {
        m_lineChecked = true;
        m_line.clear();
    }
}

void ConnectionGuard::refuse(QByteArrayView status, QByteArrayView message)
{
    m_closing = true;
    // Whatever was read so far is taken out of the HTTP layer's reach, inside its transaction
    // or not, so that it never parses a refused request.
    (void)m_socket->readAll();
    const QByteArray reply = "HTTP/1.1 " + status.toByteArray()
        + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
        + QByteArray::number(message.size()) + "\r\nConnection: close\r\n\r\n"
        + message.toByteArray();
    m_socket->write(reply);
    m_socket->disconnectFromHost();
    // A client that reads nothing would keep the connection closing for ever.
    m_idle.start(closingTimeoutMs);
}
