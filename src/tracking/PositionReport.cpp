// PositionReport: the tracking screen's report of a position, and what the reply does.
#include "PositionReport.h"

#include <QLocale>

TrackingServer::PositionReport PositionReport::next(TrackingRun &run, const QDateTime &now,
    const QString &user, const QString &device, const QString &version, const QString &speed)
{
    TrackingServer::PositionReport report;
    report.when = QLocale(QLocale::English, QLocale::UnitedKingdom)
                      .toString(now.toLocalTime(), QStringLiteral("yyyyMMddHHmmss"));
    report.user = user;
    report.device = device;
    report.id = ++run.Id;
    report.latitude = run.dLat;
    report.longitude = run.dLong;
    report.version = version;
    report.accuracy = run.iAcc;
    report.speed = speed;
    return report;
}

PositionReport::Reaction PositionReport::handleReply(TrackingRun &run, const ReportReply &reply)
{
    Reaction reaction;
    if (reply.kind == ReportReply::Kind::Acknowledged) {
        ++run.iUpdatesOK;
        run.bFirstSendDone = true;
        return reaction;
    }
    ++run.iUpdatesFailed;
    reaction.failed = true;
    reaction.switchOff
        = reply.kind == ReportReply::Kind::Stop || reply.kind == ReportReply::Kind::Refusal;
    reaction.disable = reply.kind == ReportReply::Kind::Stop;
    reaction.alert = reply.kind != ReportReply::Kind::Failure;
    return reaction;
}

QString PositionReport::statusLine(const TrackingRun &run)
{
    const qint32 pending = run.iUpdatesSent - run.iUpdatesOK - run.iUpdatesFailed;
    return QStringLiteral("%1 Sends : %2 OK : %3 Failed : %4 Pending : %5 Stored")
        .arg(run.iUpdatesSent)
        .arg(run.iUpdatesOK)
        .arg(run.iUpdatesFailed)
        .arg(pending)
        .arg(run.iStored);
}
