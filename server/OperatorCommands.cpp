// OperatorCommands: the operator's commands on the tracking database.
#include "OperatorCommands.h"

#include "AccountNames.h"
#include "TrackFormats.h"

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
    m_out << "DEVICE\tUSER\tREPORTS\tLAST REPORT\tSTATUS\n";
    for (const TrackingStore::DeviceEntry &e : m_store.devices()) {
        m_out << e.device << '\t' << (e.name.isNull() ? QStringLiteral("-") : e.name) << '\t'
              << e.reports << '\t'
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
    m_out << "USER\tDEVICE\tADDED BY\tCREATED\n";
    for (const TrackingStore::NameEntry &e : m_store.names()) {
        m_out << e.name << '\t' << (e.device.isNull() ? QStringLiteral("-") : e.device) << '\t'
              << (e.addedByOperator ? "operator" : "device") << '\t' << e.created << '\n';
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

int OperatorCommands::stop(const QString &device, const QString &message)
{
    if (!isUsableStopMessage(message))
        return usage(QStringLiteral("The message must be plain ASCII on one line, at most %1 "
                                    "characters")
                         .arg(maxStopMessage));
    if (!m_store.setStopped(device, true, message)) {
        m_err << "peregrix-server: no such device: " << device << Qt::endl;
        return Failure;
    }
    m_out << "Stopped " << device << Qt::endl;
    return Success;
}

int OperatorCommands::resume(const QString &device)
{
    if (!m_store.setStopped(device, false, QString())) {
        m_err << "peregrix-server: no such device: " << device << Qt::endl;
        return Failure;
    }
    m_out << "Resumed " << device << Qt::endl;
    return Success;
}

int OperatorCommands::exportGpx(const QString &device, const QString &file)
{
    const QList<TrackingStore::TrackPoint> points = m_store.track(device);
    if (points.isEmpty()) {
        m_err << "peregrix-server: no reports from device " << device << Qt::endl;
        return Failure;
    }
    const QByteArray gpx = TrackFormats::gpx(device, m_store.account(device).name, points);
    if (file.isEmpty() || file == u"-") {
        m_out << QString::fromUtf8(gpx);
        m_out.flush();
        return Success;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(gpx) != gpx.size() || !out.commit()) {
        m_err << "peregrix-server: cannot write " << file << ": " << out.errorString() << Qt::endl;
        return Failure;
    }
    m_out << "Wrote " << points.size() << " reports to " << file << Qt::endl;
    return Success;
}
