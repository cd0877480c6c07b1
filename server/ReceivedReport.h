// ReceivedReport: a position report as the server takes it from a request's parameters.
#pragma once

#include "QueryParameters.h"

#include <QHostAddress>
#include <QString>

#include <variant>

struct ReceivedReport
{
    QString user;
    QString device;
    double latitude = 0.0;
    double longitude = 0.0;
    QString when; // yyyyMMddHHmmss, the device's local time
    QString version;
    qint32 accuracy = 0; // metres
    QString speed; // as sent: "22 MPH", "n/a", "." …
    QString idText; // echoed in the acknowledgement exactly as it came
    qint64 id = 0;
    bool late = false;
    QHostAddress from; // the address of the connection it came on

    // The nine parameters of a report, optionally followed by Late=Y; anything else is an error
    // text meant for the person looking at the program's status line.
    [[nodiscard]] static std::variant<ReceivedReport, QString> fromQuery(
        const QueryParameters &query);

    // Whether these parameters are shaped like a report (its keys, maybe with Late) rather than
    // like some other request to the same address.
    [[nodiscard]] static bool looksLikeReport(const QueryParameters &query);
};
