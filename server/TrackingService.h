// TrackingService: the program's three exchanges with the server: validation of a user name,
// position reports and account information.
#pragma once

#include "HttpReply.h"
#include "NewDeviceLimit.h"
#include "QueryParameters.h"
#include "ReceivedReport.h"
#include "ReportBatch.h"
#include "TrackingStore.h"

#include <QString>

#include <functional>
#include <variant>

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
        // Devices new to the server, per address and minute; 0 for no limit.
        int newDevicesPerMinute = 10;
    };

    static constexpr const char *serverName = "peregrix-server";

    using Answer = std::function<void(const HttpReply &)>;

    TrackingService(TrackingStore &store, const Policy &policy);

    // log.php: a validation when the query holds u and d only, otherwise a report. The program
    // reads these replies as they are, so none ends in a line break; and it ignores the status,
    // so every reply, even an error, goes out as 200. A report to store is answered once the
    // commit that holds it is made, after the event loop has taken in what else has arrived;
    // anything else is answered at once, but for a validation that gives a device a name, which
    // waits for its own commit. `from` is the address of the connection it came on.
    void log(const QueryParameters &query, const QHostAddress &from, const Answer &answer);
    // Stores the reports that wait for a commit, and answers them, now.
    void commitWaitingReports() { m_batch.commit(); }
    // getmyinfo.php: "title,text" items joined by "|". Without a usable device, the items of
    // a device the server has never seen.
    [[nodiscard]] HttpReply accountInformation(const QueryParameters &query);

    // The parts of an information item, with the two separators taken out of them.
    [[nodiscard]] static QString infoItem(const QString &title, const QString &text);

private:
    struct Validation
    {
        QString name;
        QString device;
    };
    // A report to store, a name to give a device, or the reply to anything else.
    [[nodiscard]] std::variant<ReceivedReport, Validation, HttpReply> triage(
        const QueryParameters &query, const QHostAddress &from);
    // The reply when it needs no write; otherwise the name to register.
    [[nodiscard]] std::variant<Validation, HttpReply> validation(
        const QString &name, const QString &device, const QHostAddress &from);
    void registerName(const Validation &validation, const Answer &answer);
    [[nodiscard]] HttpReply stored(
        const ReceivedReport &report, std::optional<TrackingStore::ReportOutcome> outcome) const;
    // Why the report may not be stored, or empty; called on the report writer's thread.
    [[nodiscard]] QByteArray admission(
        const ReceivedReport &report, const TrackingStore::Account &account);
    [[nodiscard]] QByteArray refusal(
        const ReceivedReport &report, const TrackingStore::Account &account) const;
    static void printStored(const ReceivedReport &report);

    TrackingStore &m_store;
    Policy m_policy;
    NewDeviceLimit m_newDevices;
    ReportBatch m_batch;
};
