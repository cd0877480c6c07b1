// ValidationReply: what the tracking server's answer to a user name validation means.
#include "ValidationReply.h"

ValidationReply ValidationReply::fromText(const QString &reply, const QString &nameSent)
{
    ValidationReply outcome;
    if (reply.startsWith(QLatin1String("USER")) && reply != QLatin1String("USERNAME IN USE")) {
        outcome.kind = Success;
        outcome.name = reply.mid(4);
        outcome.nameFromServer = true;
        return outcome;
    }
    outcome.name = nameSent;
    if (reply == QLatin1String("VALIDATED")) {
        outcome.kind = Success;
        return outcome;
    }
    outcome.kind = Failure;
    outcome.alertDue = reply != QLatin1String("NOT VALIDATED");
    return outcome;
}
