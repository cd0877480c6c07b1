// OperatorCommands: the operator's commands on the tracking database.
#include "OperatorCommands.h"

#include "AccountNames.h"
#include "TrackFormats.h"
#include "TrackStream.h"

#include <QSaveFile>

OperatorCommands::OperatorCommands(TrackingStore &store, QTextStream &out, QTextStream &err)
    : m_store(store)
    , m_out(out)
    , m_err(err)
{ }

int OperatorCommands::run(const QStringList &command)
{
    const QString name = command.value(0);
    const qsizetype arguments = command.size() - 1;
    try {
        if (name == u"devices" && arguments == 0)
            return devices();
        if (name == u"users" && arguments == 0)
            return users();
        if (name == u"add-user" && arguments == 1)
            return addUser(command[1]);
        if (name == u"release-user" && arguments == 1)
            return releaseUser(command[1]);
        if (name == u"stop" && (arguments == 1 || arguments == 2))
            return stop(
                command[1], arguments == 2 ? command[2] : QString::fromLatin1(defaultStopMessage));
        if (name == u"resume" && arguments == 1)
            return resume(command[1]);
        if (name == u"export-gpx" && (arguments == 1 || arguments == 2))
            return exportGpx(command[1], command.value(2));
    } catch (const TrackingStore::Error &error) {
        m_err << "peregrix-server: database: " << error.what() << Qt::endl;
        return Failure;
    }
    return usage(QStringLiteral("Unknown command or wrong arguments: ") + command.join(u' '));
}

bool OperatorCommands::isUsableStopMessage(const QString &message)
{
    if (message.size() > maxStopMessage)
        return false;
    return std::all_of(message.cbegin(), message.cend(),
        [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

int OperatorCommands::usage(const QString &problem)
{
    m_err << "peregrix-server: " << problem << "\nSee peregrix-server --help." << Qt::endl;
    return Usage;
}

int OperatorCommands::devices()
{
    m_out << "DEVICE\tALIAS\tUSER\tREPORTS\tLAST REPORT\tSTATUS\n";
    for (const TrackingStore::DeviceEntry &e : m_store.devices()) {
        m_out << e.device << '\t' << e.alias << '\t'
              << (e.name.isNull() ? QStringLiteral("-") : e.name) << '\t' << e.reports << '\t'
              << (e.last ? TrackFormats::isoTime(e.last->when, QLatin1Char(' '))
                         : QStringLiteral("-"))
              << '\t'
              << (e.stopped ? QStringLiteral("stopped: ") + e.stopMessage
                            : QStringLiteral("tracking"))
              << '\n';
    }
    m_out.flush();
    return Success;
}

int OperatorCommands::users()
{
    m_out << "USER\tDEVICE\tADDED BY\tCREATED\tKEPT FOR\n";
    for (const TrackingStore::NameEntry &e : m_store.names()) {
        m_out << e.name << '\t' << (e.device.isNull() ? QStringLiteral("-") : e.device) << '\t'
              << (e.addedByOperator ? "operator" : "device") << '\t' << e.created << '\t'
              << (e.owner.isNull() ? QStringLiteral("-") : e.owner) << '\n';
    }
    m_out.flush();
    return Success;
}

int OperatorCommands::addUser(const QString &name)
{
    if (!AccountNames::isAcceptableUserName(name) || AccountNames::isTestUser(name))
        return usage(QStringLiteral("Not a usable user name: %1 (3 to 20 letters, digits, "
                                    "blanks, \".\", \"_\" or \"-\")")
                         .arg(name));
    if (!m_store.addName(name)) {
        m_err << "peregrix-server: the name " << name << " exists already" << Qt::endl;
        return Failure;
    }
    m_out << "Added " << name << Qt::endl;
    return Success;
}

// Only a device's reports bind a name to it for good; releasing the name lets another device
// validate it (and leaves the reports as they are).
int OperatorCommands::releaseUser(const QString &name)
{
    if (!m_store.releaseName(name)) {
        m_err << "peregrix-server: no such name: " << name << Qt::endl;
        return Failure;
    }
    m_out << "Released " << name << Qt::endl;
    return Success;
}

QString OperatorCommands::device(const QString &given)
{
    if (m_store.account(given).known)
        return given;
    const QString device = m_store.deviceWithAlias(given);
    if (device.isNull())
        m_err << "peregrix-server: no such device: " << given << Qt::endl;
    return device;
}

int OperatorCommands::stop(const QString &given, const QString &message)
{
    if (!isUsableStopMessage(message))
        return usage(QStringLiteral("The message must be plain ASCII on one line, at most %1 "
                                    "characters")
                         .arg(maxStopMessage));
    const QString found = device(given);
    if (found.isNull() || !m_store.setStopped(found, true, message))
        return Failure;
    m_out << "Stopped " << given << Qt::endl;
    return Success;
}

int OperatorCommands::resume(const QString &given)
{
    const QString found = device(given);
    if (found.isNull() || !m_store.setStopped(found, false, QString()))
        return Failure;
    m_out << "Resumed " << given << Qt::endl;
    return Success;
}

// Written a chunk of reports at a time, as the downloads are, whatever the track's length.
int OperatorCommands::exportGpx(const QString &given, const QString &file)
{
    const QString found = device(given);
    if (found.isNull())
        return Failure;
    const qint64 reports = m_store.reportCount(found, {});
    if (reports == 0) {
        m_err << "peregrix-server: no reports from device " << given << Qt::endl;
        return Failure;
    }
    TrackStream gpx(m_store, TrackStream::Format::Gpx,
        { found, m_store.aliasOf(found), m_store.account(found).name, {}, reports });
    const bool toStandardOutput = file.isEmpty() || file == u"-";
    QSaveFile named(file);
    if (!toStandardOutput && !named.open(QIODevice::WriteOnly))
        return cannotWrite(file, named.errorString());
    try {
        // Each piece ends between two elements, so it is whole UTF-8.
        for (QByteArray piece = gpx.next(); !piece.isEmpty(); piece = gpx.next()) {
            if (toStandardOutput)
                m_out << QString::fromUtf8(piece);
            else if (named.write(piece) != piece.size())
                return cannotWrite(file, named.errorString());
        }
    } catch (const ReplyStream::Failed &failure) {
        throw TrackingStore::Error(failure.what());
    }
    if (toStandardOutput) {
        m_out.flush();
        return Success;
    }
    if (!named.commit())
        return cannotWrite(file, named.errorString());
    m_out << "Wrote " << reports << " reports to " << file << Qt::endl;
    return Success;
}

int OperatorCommands::cannotWrite(const QString &file, const QString &why)
{
    m_err << "peregrix-server: cannot write " << file << ": " << why << Qt::endl;
    return Failure;
}
