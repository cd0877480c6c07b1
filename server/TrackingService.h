// TrackingService: the program's three exchanges with the server: validation of a user name,
// position reports and account information.
#pragma once

#include "HttpReply.h"
#include "QueryParameters.h"
#include "ReceivedReport.h"
#include "TrackingStore.h"

#include <QString>

class TrackingService
{
public:
    struct Policy
    {
        // Only names the operator added can be validated.
        bool closedRegistration = false;
        // Reports under "test" are taken from any device, as the program offers that name
        // without asking the server.
        bool testUser = true;
        // Each newly stored report is printed on standard output, one line, for an operator or
        // a demo to watch.
        bool printReports = false;
    };

    static constexpr const char *serverName = "peregrix-server";

    TrackingService(TrackingStore &store, const Policy &policy);

    // log.php: a validation when the query holds u and d only, otherwise a report. The program
    // reads these replies as they are, so none ends in a line break; and it ignores the status,
    // so every reply, even an error, goes out as 200.
    [[nodiscard]] HttpReply log(const QueryParameters &query);
    // getmyinfo.php: "title,text" items joined by "|".
    [[nodiscard]] HttpReply accountInformation(const QueryParameters &query);

    // The parts of an information item, with the two separators taken out of them.
    [[nodiscard]] static QString infoItem(const QString &title, const QString &text);

private:
    [[nodiscard]] QByteArray validation(const QString &name, const QString &device);
    [[nodiscard]] QByteArray report(const ReceivedReport &report);
    [[nodiscard]] QByteArray refusal(
        const ReceivedReport &report, const TrackingStore::Account &account) const;
    static void printStored(const ReceivedReport &report);

    TrackingStore &m_store;
    Policy m_policy;
};
