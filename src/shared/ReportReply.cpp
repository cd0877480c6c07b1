// ReportReply: what the tracking server's answer to a position report means.
#include "ReportReply.h"

#include <algorithm>

ReportReply ReportReply::fromBody(const QByteArray &body)
{
    ReportReply reply;
    const bool ascii = std::all_of(
        body.cbegin(), body.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        reply.message = QStringLiteral("");
        return reply;
    }
    const QString text = QString::fromLatin1(body);
    reply.text = text;
    if (text.size() > 1 && text.startsWith(QLatin1String("OK"))) {
        reply.kind = Kind::Acknowledged;
        reply.message = QStringLiteral("OK");
    } else if (text.size() > 1 && text.startsWith(QLatin1String("~~"))) {
        reply.kind = Kind::Stop;
        reply.message = text.mid(2);
    } else if (!text.isEmpty() && text.front() == QLatin1Char('~')) {
        reply.kind = Kind::Refusal;
        reply.message = text.mid(1);
    } else {
        reply.kind = Kind::Failure;
        reply.message = text;
    }
    return reply;
}
