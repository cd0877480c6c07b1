// ScriptedHttpServer: an HTTP server on 127.0.0.1 that answers with scripted replies and
// records every request head exactly as it arrived. It runs on a thread of its own, so it
// answers even while the test's main thread is blocked.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class QThread;

class ScriptedHttpServer
{
public:
    struct Reply
    {
        enum Kind {
            Respond, // send `raw` after `delayMs`, then close
            NeverAnswer, // keep the connection open and say nothing
            CloseAtOnce, // close the connection without a byte
            Trickle, // send `raw` one byte every `delayMs`, then close
        };
        Kind kind = Respond;
        QByteArray raw;
        int delayMs = 0;
        bool keepAlive = false; // Respond only: leave the connection open for the next request
    };

    // A complete HTTP/1.1 response with Content-Length, closing the connection after it unless
    // keepAlive is set.
    static Reply text(const QByteArray &body, int status = 200, bool keepAlive = false);
    // A response whose body is sent chunked, with no length announced.
    static Reply chunked(const QByteArray &body, int status = 200);
    static Reply neverAnswer();
    static Reply closeAtOnce();

    // Listens on 127.0.0.1 and a free port unless told otherwise; port() is 0 when it could not
    // listen.
    explicit ScriptedHttpServer(
        const QHostAddress &address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer &) = delete;
    ScriptedHttpServer &operator=(const ScriptedHttpServer &) = delete;

    [[nodiscard]] quint16 port() const { return m_port; }
    // "http://127.0.0.1:PORT/", or "http://[::1]:PORT/" on the IPv6 loopback
    [[nodiscard]] QString baseUrl() const;

    // Replies are used in the order queued; once the queue is empty, the default reply answers.
    void enqueue(const Reply &reply);
    void setDefaultReply(const Reply &reply);
    // Answers every request, on the server's thread, instead of the queue and default reply.
    void setResponder(std::function<Reply(const QByteArray &requestLine)> responder);

    // Each request's first line, e.g. "GET /log.php?u=x HTTP/1.1", in order of arrival.
    [[nodiscard]] QList<QByteArray> requestLines() const;
    // Each request's whole head: the request line and every header line, each ending in CRLF,
    // without the empty line that closes the head.
    [[nodiscard]] QList<QByteArray> requestHeads() const;

    // Called on the server thread.
    Reply takeReply(const QByteArray &requestHead);

private:
    std::unique_ptr<QThread> m_thread;
    QHostAddress m_address;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    std::deque<Reply> m_queue;
    Reply m_default;
    std::function<Reply(const QByteArray &)> m_responder;
    QList<QByteArray> m_requestHeads;
};
Q_DECLARE_METATYPE(ScriptedHttpServer::Reply)
