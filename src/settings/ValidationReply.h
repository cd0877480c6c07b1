// ValidationReply: what the tracking server's answer to a user name validation means.
#pragma once

#include <QString>

struct ValidationReply
{
    enum Kind {
        Success, // "VALIDATED", or "USER" and the name the account is registered under
        Failure, // anything else
    };

    Kind kind = Failure;
    QString name; // the name that is now validated, or the name that was sent
    bool nameFromServer = false; // the server named the account: the field shows its name
    bool alertDue = false; // the reply means nothing we know of, so the user sees it

    // The reply is compared exactly: case, whole text, no trimming. "USERNAME IN USE" starts
    // like a registered name but is a refusal.
    [[nodiscard]] static ValidationReply fromText(const QString &reply, const QString &nameSent);
};
