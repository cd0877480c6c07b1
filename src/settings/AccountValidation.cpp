// AccountValidation: asking the server whether a user name may be used on this device.
#include "AccountValidation.h"

#include "ValidationReply.h"

#include "shared/GlobalFunctions.h"
#include "shared/TrackingServer.h"

#include "platform/ContentsOfUrl.h"
#include "platform/PercentEscapes.h"

bool AccountValidation::isTestUser(const QString &name)
{
    return name.toLower() == QLatin1String("test");
}

AccountValidation::Outcome AccountValidation::validateUser(
    const QString &name, const QString &device)
{
    if (isTestUser(name))
        return { Outcome::Kind::Success, name, {}, {} };
    GlobalData *global = GlobalData::sharedGlobalData();
    if (!global->connectedToNetwork())
        return { Outcome::Kind::Error, QStringLiteral("Not connected to network"), {}, {} };
    const QUrl url = urlWithString(
        addingPercentEscapes(TrackingServer::validationText(global->url(), name, device)));
    if (!url.isValid())
        return { Outcome::Kind::Failure, name, {}, {} };
    QString error;
    const QString reply = contentsOfUrl(url, &error);
    if (reply.isNull())
        return { Outcome::Kind::Error, QStringLiteral("Unable to validate - Error"), {}, {} };

    const ValidationReply answer = ValidationReply::fromText(reply, name);
    Outcome outcome;
    outcome.kind
        = answer.kind == ValidationReply::Success ? Outcome::Kind::Success : Outcome::Kind::Failure;
    outcome.text = answer.name;
    if (answer.nameFromServer)
        outcome.nameFromServer = answer.name;
    if (answer.alertDue)
        outcome.alert = reply;
    return outcome;
}
