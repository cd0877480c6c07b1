// RequestFramer: finds where each request on a connection begins and ends, checks its head
// strictly, and keeps what the server must know of it before the HTTP layer parses it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <deque>
#include <optional>

class RequestFramer
{
public:
    static constexpr qsizetype maxRequestBytes = 16 * 1024;

    // What a request's head says, as it arrived: the target is not decoded in any way, so that
    // only the server's own strict decoding ever reads it.
    struct Request
    {
        QByteArray method;
        QByteArray target;
        // HTTP/1.0, or "Connection: close": the connection ends with this request's reply.
        bool closeAfter = false;
        // HTTP/1.1; an HTTP/1.0 client cannot read a body sent in chunks.
        bool knowsChunks = true;
    };

    // Why a request is refused: the status line's code and reason, and a short text.
    struct Refusal
    {
        QByteArray status;
        QByteArray message;
    };

    enum class Verdict { Incomplete, Good, Bad };
    // Whether the bytes a request starts with make a request line: a method in capitals, a
    // target of visible ASCII without "#", and HTTP/1.0 or HTTP/1.1.
    [[nodiscard]] static Verdict requestLine(QByteArrayView start);

    // Takes the connection's bytes in the order they arrived. A refusal ends the framing: the
    // connection is to be refused and closed. Bytes after a request that closes the
    // connection are ignored.
    [[nodiscard]] std::optional<Refusal> feed(QByteArrayView bytes);

    // Whether a request has begun (any byte of it has arrived) and is not complete yet.
    [[nodiscard]] bool inRequest() const { return !m_head.isEmpty(); }
    // The oldest complete request not taken yet.
    [[nodiscard]] std::optional<Request> takeRequest();
    // The bytes of the requests not taken yet, and of the one begun: those the HTTP layer,
    // which takes one whole request at a time, has not read out of the connection yet.
    [[nodiscard]] qint64 untakenBytes() const { return m_seen - m_takenEnd; }

private:
    struct Framed
    {
        Request request;
        qint64 end = 0; // just after its last byte, counted from the connection's first
    };

    [[nodiscard]] std::optional<Refusal> headEnded();
    [[nodiscard]] static std::optional<Refusal> checkHeader(QByteArrayView line, Request &request);

    QByteArray m_head; // the begun request's bytes
    std::deque<Framed> m_framed;
    qint64 m_seen = 0;
    qint64 m_takenEnd = 0;
    bool m_lineChecked = false;
    bool m_closing = false;
};
