// HttpReply: what the server answers to one request, before it goes out over HTTP.
#pragma once

#include "ReplyStream.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <memory>

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
