// HttpReply: what the server answers to one request, before it goes out over HTTP.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <memory>
#include <stdexcept>

// A body made while it goes out, a piece at a time, for replies too large to hold in memory.
class ReplyStream
{
public:
    class Failed : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    virtual ~ReplyStream() = default;
    // The next piece of the body; empty once the body is complete. Throws Failed when the rest
    // cannot be made; what went out already cannot be taken back then, so the connection is cut.
    [[nodiscard]] virtual QByteArray next() = 0;
};

struct HttpReply
{
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; // beyond the content type and length
    std::shared_ptr<ReplyStream> stream; // when set, the body comes from it, in chunks

    void addHeader(const QByteArray &name, const QByteArray &value)
    {
        headers.append(qMakePair(name, value));
    }

    [[nodiscard]] static HttpReply text(const QByteArray &body, int status = 200)
    {
        HttpReply reply;
        reply.status = status;
        reply.body = body;
        return reply;
    }

    // The body whole, the stream's pieces gathered: for replies used in the server's own process.
    [[nodiscard]] QByteArray wholeBody() const
    {
        if (!stream)
            return body;
        QByteArray whole;
        for (QByteArray piece = stream->next(); !piece.isEmpty(); piece = stream->next())
            whole += piece;
        return whole;
    }
};
