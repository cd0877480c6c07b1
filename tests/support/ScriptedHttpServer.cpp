// ScriptedHttpServer: an HTTP server on 127.0.0.1 that answers with scripted replies.
#include "ScriptedHttpServer.h"

#include <QEventLoop>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace {

// Returns whether the connection stays open for another request.
bool handle(QTcpSocket *socket, const ScriptedHttpServer::Reply &reply)
{
    using Reply = ScriptedHttpServer::Reply;
    switch (reply.kind) {
    case Reply::NeverAnswer:
        return false;
    case Reply::CloseAtOnce:
        socket->disconnectFromHost();
        return false;
    case Reply::Respond:
        if (reply.keepAlive && reply.delayMs == 0) {
            socket->write(reply.raw);
            return true;
        }
        QTimer::singleShot(reply.delayMs, socket, [socket, raw = reply.raw] {
            socket->write(raw);
            socket->disconnectFromHost();
        });
        return false;
    case Reply::Trickle: {
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, raw = reply.raw] {
            if (*sent >= raw.size()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(raw.mid((*sent)++, 1));
        });
        timer->start(reply.delayMs);
        return false;
    }
    }
    return false;
}

void serve(QTcpSocket *socket, ScriptedHttpServer *script)
{
    auto buffer = std::make_shared<QByteArray>();
    auto open = std::make_shared<bool>(true);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, script, buffer, open] {
        *buffer += socket->readAll();
        // Requests are GETs without a body: each ends with an empty line.
        qsizetype end;
        while (*open && (end = buffer->indexOf("\r\n\r\n")) >= 0) {
            const QByteArray head = buffer->left(end + 2);
            buffer->remove(0, end + 4);
            *open = handle(socket, script->takeReply(head));
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

QByteArray statusLine(int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + (status < 400 ? " OK" : " Error") + "\r\n";
}

} // namespace

ScriptedHttpServer::Reply ScriptedHttpServer::text(
    const QByteArray &body, int status, bool keepAlive)
{
    Reply reply;
    reply.keepAlive = keepAlive;
    reply.raw = statusLine(status)
        + "Content-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size())
        + (keepAlive ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n") + body;
    return reply;
}

ScriptedHttpServer::Reply ScriptedHttpServer::chunked(const QByteArray &body, int status)
{
    Reply reply;
    reply.raw = statusLine(status)
        + "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    constexpr qsizetype chunk = 64 * 1024;
    for (qsizetype at = 0; at < body.size(); at += chunk) {
        const QByteArray piece = body.mid(at, chunk);
        reply.raw += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    reply.raw += "0\r\n\r\n";
    return reply;
}

ScriptedHttpServer::Reply ScriptedHttpServer::neverAnswer()
{
    return Reply { Reply::NeverAnswer, {}, 0 };
}

ScriptedHttpServer::Reply ScriptedHttpServer::closeAtOnce()
{
    return Reply { Reply::CloseAtOnce, {}, 0 };
}

ScriptedHttpServer::ScriptedHttpServer(const QHostAddress &address, quint16 port)
    : m_address(address)
    , m_port(port)
    , m_default(text("OK"))
{
    QSemaphore listening;
    m_thread.reset(QThread::create([this, &listening] {
        QTcpServer server;
        server.listen(m_address, m_port);
        m_port = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                serve(socket, this);
        });
        listening.release();
        QEventLoop loop;
        loop.exec(); // until QThread::quit()
        // Sockets still open (never answered) go with the server.
        const auto sockets = server.findChildren<QTcpSocket *>();
        qDeleteAll(sockets);
    }));
    m_thread->start();
    listening.acquire();
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    m_thread->quit();
    m_thread->wait();
}

QString ScriptedHttpServer::baseUrl() const
{
    const QString host = m_address.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + m_address.toString() + QLatin1Char(']')
        : m_address.toString();
    return QStringLiteral("http://%1:%2/").arg(host).arg(m_port);
}

void ScriptedHttpServer::enqueue(const Reply &reply)
{
    const QMutexLocker lock(&m_mutex);
    m_queue.push_back(reply);
}

void ScriptedHttpServer::setDefaultReply(const Reply &reply)
{
    const QMutexLocker lock(&m_mutex);
    m_default = reply;
}

QList<QByteArray> ScriptedHttpServer::requestLines() const
{
    QList<QByteArray> lines = requestHeads();
    for (QByteArray &head : lines)
        head.truncate(head.indexOf("\r\n"));
    return lines;
}

QList<QByteArray> ScriptedHttpServer::requestHeads() const
{
    const QMutexLocker lock(&m_mutex);
    return m_requestHeads;
}

void ScriptedHttpServer::setResponder(std::function<Reply(const QByteArray &)> responder)
{
    const QMutexLocker lock(&m_mutex);
    m_responder = std::move(responder);
}

ScriptedHttpServer::Reply ScriptedHttpServer::takeReply(const QByteArray &requestHead)
{
    const QMutexLocker lock(&m_mutex);
    m_requestHeads.append(requestHead);
    if (m_responder)
        return m_responder(requestHead.left(requestHead.indexOf("\r\n")));
    if (m_queue.empty())
        return m_default;
    Reply reply = m_queue.front();
    m_queue.pop_front();
    return reply;
}
