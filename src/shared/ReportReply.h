// ReportReply: what the tracking server's answer to a position report means.
#pragma once

#include <QByteArray>
#include <QString>

struct ReportReply
{
    enum class Kind {
        Acknowledged, // "OK", maybe followed by the report's id
        Stop, // "~~" and a message: tracking is switched off for good
        Refusal, // "~" and a message: tracking is switched off
        Failure, // anything else, shown in full
    };

    Kind kind = Kind::Failure;
    QString text; // the whole reply as ASCII; null when it holds other bytes
    QString message; // what the status label and the alert show

    // Reads the reply by its first characters; a body with bytes above 0x7F cannot be read as
    // ASCII and is a failure with an empty message.
    [[nodiscard]] static ReportReply fromBody(const QByteArray &body);
};
