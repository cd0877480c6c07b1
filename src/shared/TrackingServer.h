// TrackingServer: the texts of the four requests the program sends to the tracking server.
#pragma once

#include <QString>

// Each function builds the whole request text (base URL, path and query); the caller escapes
// that text once, as a whole, before sending it. Values are put in as they are.
namespace TrackingServer {

struct PositionReport
{
    QString user;
    QString device;
    double latitude = 0.0;
    double longitude = 0.0;
    QString when; // yyyyMMddHHmmss, local time
    QString version;
    qint32 accuracy = 0; // metres
    QString speed; // the speed text with its unit, or "."
    qint32 id = 0;
};

// "log.php?u=…&d=…&lat=%3.6f&long=%3.6f&when=…&ver=…&acc=…&speed=…&id=…"
[[nodiscard]] QString positionReportText(const QString &baseUrl, const PositionReport &report);

// A report sent again: its request text with "&Late=Y" after it.
[[nodiscard]] QString lateReportText(const QString &positionReportText);

// "log.php?u=…&d=…"; the user name "?" asks for the name registered for the device.
[[nodiscard]] QString validationText(
    const QString &baseUrl, const QString &user, const QString &device);

// "getmyinfo.php?d=…&ver=…"
[[nodiscard]] QString accountInfoText(
    const QString &baseUrl, const QString &device, const QString &version);

} // namespace TrackingServer
