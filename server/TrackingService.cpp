// TrackingService: validation, position reports and account information.
#include "TrackingService.h"

#include "AccountNames.h"
#include "TrackingStore.h"

#include <QDebug>
#include <QTextStream>

namespace {

const QByteArray validated = "VALIDATED";
const QByteArray notValidated = "NOT VALIDATED";
const QByteArray nameInUse = "USERNAME IN USE";
const QByteArray tooManyNewDevices
    = "Too many new devices from your network: please try again in a minute";

// yyyyMMddHHmmss as "yyyy-MM-dd HH:mm:ss".
QString readableTime(const QString &when)
{
    if (when.size() != 14)
        return when;
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(when.first(4), when.sliced(4, 2), when.sliced(6, 2), when.sliced(8, 2),
            when.sliced(10, 2), when.sliced(12, 2));
}

HttpReply storeFailure()
{
    return HttpReply::text("Server error: please try again later");
}

HttpReply storeFailure(const TrackingStore::Error &error)
{
    qWarning("%s: database: %s", TrackingService::serverName, error.what());
    return storeFailure();
}

} // namespace

TrackingService::TrackingService(TrackingStore &store, const Policy &policy)
    : m_store(store)
    , m_policy(policy)
    , m_newDevices(policy.newDevicesPerMinute)
    , m_batch(store.database(),
          [this](const ReceivedReport &report, const TrackingStore::Account &account) {
              return admission(report, account);
          })
{ }

void TrackingService::log(
    const QueryParameters &query, const QHostAddress &from, const Answer &answer)
{
    std::variant<ReceivedReport, Validation, HttpReply> triaged;
    try {
        triaged = triage(query, from);
    } catch (const TrackingStore::Error &error) {
        answer(storeFailure(error));
        return;
    }
    if (const HttpReply *reply = std::get_if<HttpReply>(&triaged)) {
        answer(*reply);
        return;
    }
    if (const Validation *validation = std::get_if<Validation>(&triaged)) {
        registerName(*validation, answer);
        return;
    }
    const ReceivedReport report = std::get<ReceivedReport>(triaged);
    m_batch.add(
        report, [this, report, answer](std::optional<TrackingStore::ReportOutcome> outcome) {
            answer(stored(report, outcome));
        });
}

std::variant<ReceivedReport, TrackingService::Validation, HttpReply> TrackingService::triage(
    const QueryParameters &query, const QHostAddress &from)
{
    if (query.hasExactly({ QStringLiteral("u"), QStringLiteral("d") })) {
        std::variant<Validation, HttpReply> checked
            = validation(query.value(u"u"), query.value(u"d"), from);
        if (const HttpReply *reply = std::get_if<HttpReply>(&checked))
            return *reply;
        return std::get<Validation>(checked);
    }
    // A name with "&" or "=" in it splits a validation into more parts; the program shows this
    // reply as a failed validation rather than as an alert.
    if (query.value(u"lat").isNull())
        return HttpReply::text(notValidated);
    std::variant<ReceivedReport, QString> parsed = ReceivedReport::fromQuery(query);
    if (const QString *problem = std::get_if<QString>(&parsed))
        return HttpReply::text(problem->toUtf8());
    std::get<ReceivedReport>(parsed).from = from;
    return std::get<ReceivedReport>(parsed);
}

std::variant<TrackingService::Validation, HttpReply> TrackingService::validation(
    const QString &name, const QString &device, const QHostAddress &from)
{
    if (!AccountNames::isAcceptableDevice(device))
        return HttpReply::text(notValidated);
    if (name == QLatin1String("?")) {
        const QString registered = m_store.account(device).name;
        return HttpReply::text(registered.isEmpty() ? notValidated : "USER" + registered.toUtf8());
    }
    if (AccountNames::isTestUser(name))
        return HttpReply::text(m_policy.testUser ? validated : notValidated);
    if (!AccountNames::isAcceptableUserName(name))
        return HttpReply::text(notValidated);
    const std::optional<TrackingStore::NameEntry> entry = m_store.findName(name);
    if (entry && entry->device == device)
        return HttpReply::text(validated);
    // A name stays with the device whose reports carry it, even once it has chosen another.
    if (entry && (!entry->device.isNull() || (!entry->owner.isNull() && entry->owner != device)))
        return HttpReply::text(nameInUse);
    if (!entry && m_policy.closedRegistration)
        return HttpReply::text(notValidated);
    if (!m_store.account(device).known && !m_newDevices.admit(from))
        return HttpReply::text(tooManyNewDevices);
    return Validation { entry ? entry->name : name, device };
}

// The write goes to the report writer's connection, so that a lock held on the database never
// holds up the serving thread.
void TrackingService::registerName(const Validation &validation, const Answer &answer)
{
    m_batch.registerName(validation.device, validation.name, [answer](std::optional<bool> given) {
        if (!given)
            answer(storeFailure());
        else
            answer(HttpReply::text(*given ? validated : nameInUse)); // taken meanwhile
    });
}

HttpReply TrackingService::stored(
    const ReceivedReport &r, std::optional<TrackingStore::ReportOutcome> outcome) const
{
    if (!outcome)
        return storeFailure(); // the report writer has said why
    if (outcome->outcome == TrackingStore::Outcome::Refused)
        return HttpReply::text(outcome->refusal);
    if (m_policy.printReports && outcome->outcome == TrackingStore::Outcome::Stored)
        printStored(r);
    return HttpReply::text("OK" + r.idText.toLatin1());
}

// "14:05:09  Test  51.504500, -0.126532  12 MPH  id 3  late": the device's time of day, the
// name, the position, the speed as sent, the id. Never the device id, which is the device's only
// secret; and what the device sent is shown only in printable ASCII, so that no text it chose
// can drive the terminal.
void TrackingService::printStored(const ReceivedReport &r)
{
    const auto printable = [](QString text) {
        for (QChar &c : text) {
            if (c.unicode() < 0x20 || c.unicode() > 0x7E)
                c = QLatin1Char('?');
        }
        return text;
    };
    const QString time = r.when.mid(8, 2) + QLatin1Char(':') + r.when.mid(10, 2) + QLatin1Char(':')
        + r.when.mid(12, 2);
    QTextStream out(stdout);
    out << printable(time) << "  " << printable(r.user) << "  "
        << QString::number(r.latitude, 'f', 6) << ", " << QString::number(r.longitude, 'f', 6)
        << "  " << printable(r.speed) << "  id " << r.id << (r.late ? "  late" : "") << '\n';
    out.flush();
}

// The program shows these messages, and only reads ASCII ones, so none of them repeats
// anything the report carried.
QByteArray TrackingService::refusal(
    const ReceivedReport &r, const TrackingStore::Account &account) const
{
    if (account.stopped)
        return "~~" + account.stopMessage.toLatin1();
    const bool test = AccountNames::isTestUser(r.user);
    if (test && m_policy.testUser)
        return {};
    if (test)
        return "~The test user is not taken by this server";
    if (account.name.isNull())
        return "~No user name is registered for this device. Validate one in Settings.";
    if (AccountNames::folded(account.name) != AccountNames::folded(r.user))
        return "~This user name is not the one registered for this device.";
    return {};
}

// Only a report that would be stored brings a new device, so the limit is asked last.
QByteArray TrackingService::admission(
    const ReceivedReport &r, const TrackingStore::Account &account)
{
    QByteArray refused = refusal(r, account);
    if (refused.isEmpty() && !account.known && !m_newDevices.admit(r.from))
        refused = '~' + tooManyNewDevices;
    return refused;
}

HttpReply TrackingService::accountInformation(const QueryParameters &query)
{
    if (!query.hasExactly({ QStringLiteral("d"), QStringLiteral("ver") })
        && !query.hasExactly({ QStringLiteral("ver") }))
        return HttpReply::text(
            infoItem(QStringLiteral("Error"), QStringLiteral("Bad request")).toUtf8());
    const QString device = query.value(u"d");
    const bool usable = AccountNames::isAcceptableDevice(device);
    try {
        const TrackingStore::Account account
            = usable ? m_store.account(device) : TrackingStore::Account {};
        const TrackingStore::Summary summary
            = usable ? m_store.summary(device) : TrackingStore::Summary {};
        QStringList items;
        items << infoItem(QStringLiteral("User"),
            account.name.isNull() ? QStringLiteral("Not registered") : account.name)
              << infoItem(QStringLiteral("Device"), device)
              << infoItem(QStringLiteral("Status"),
                     account.stopped ? QStringLiteral("Stopped: ") + account.stopMessage
                                     : QStringLiteral("Tracking allowed"))
              << infoItem(QStringLiteral("Reports"), QString::number(summary.reports))
              << infoItem(QStringLiteral("Late reports"), QString::number(summary.lateReports));
        if (!summary.firstWhen.isNull())
            items << infoItem(QStringLiteral("First report"), readableTime(summary.firstWhen))
                  << infoItem(QStringLiteral("Last report"), readableTime(summary.lastWhen));
        items << infoItem(QStringLiteral("Server"),
            QStringLiteral("%1 %2").arg(
                QLatin1String(serverName), QStringLiteral(PEREGRIX_VERSION)));
        return HttpReply::text(items.join(QLatin1Char('|')).toUtf8());
    } catch (const TrackingStore::Error &error) {
        return storeFailure(error);
    }
}

QString TrackingService::infoItem(const QString &title, const QString &text)
{
    const auto clean = [](QString s) {
        s.replace(QLatin1Char('|'), QLatin1Char('/')).replace(QLatin1Char(','), QLatin1Char(';'));
        for (QChar &c : s) {
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char(' ');
        }
        return s;
    };
    return clean(title) + QLatin1Char(',') + clean(text);
}
