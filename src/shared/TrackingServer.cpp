// TrackingServer: the texts of the four requests the program sends to the tracking server.
#include "TrackingServer.h"

#include "platform/FixedFormat.h"

QString TrackingServer::positionReportText(const QString &baseUrl, const PositionReport &report)
{
    return baseUrl + QLatin1String("log.php?u=") + report.user + QLatin1String("&d=")
        + report.device + QLatin1String("&lat=") + formatFixed(report.latitude, 3, 6)
        + QLatin1String("&long=") + formatFixed(report.longitude, 3, 6) + QLatin1String("&when=")
        + report.when + QLatin1String("&ver=") + report.version + QLatin1String("&acc=")
        + QString::number(report.accuracy) + QLatin1String("&speed=") + report.speed
        + QLatin1String("&id=") + QString::number(report.id);
}

QString TrackingServer::lateReportText(const QString &positionReportText)
{
    return positionReportText + QLatin1String("&Late=Y");
}

QString TrackingServer::validationText(
    const QString &baseUrl, const QString &user, const QString &device)
{
    return baseUrl + QLatin1String("log.php?u=") + user + QLatin1String("&d=") + device;
}

QString TrackingServer::accountInfoText(
    const QString &baseUrl, const QString &device, const QString &version)
{
    return baseUrl + QLatin1String("getmyinfo.php?d=") + device + QLatin1String("&ver=") + version;
}
