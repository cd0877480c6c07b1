// HttpReply: what the server answers to one request, before it goes out over HTTP.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

struct HttpReply
{
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; // beyond the content type and length

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
};
