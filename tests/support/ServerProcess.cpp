// ServerProcess: peregrix-server as a separate process for tests.
#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

ServerProcess::ServerProcess(const QString &program, const QString &database)
    : m_program(program)
    , m_database(database)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

ServerProcess::~ServerProcess()
{
    if (isRunning()) {
        resume();
        kill();
    }
}

bool ServerProcess::start(const QStringList &options, quint16 port)
{
    m_output.clear();
    const quint16 wanted = port != 0 ? port : m_port;
    QStringList arguments { QStringLiteral("--database"), m_database, QStringLiteral("--port"),
        QString::number(wanted) };
    if (!options.contains(QStringLiteral("--page-address")))
        arguments << QStringLiteral("--page-address") << QStringLiteral("127.0.0.1:0");
    m_process.start(m_program, arguments + options);
    static const QRegularExpression listening(QStringLiteral(
        "listening on https?://[^:]+:(\\d+)/.*\n.*downloads on https?://.+:(\\d+)/\n"));
    // The event loop runs meanwhile, so that whatever the test serves (a relay to the
    // database, say) can answer the server as it starts.
    const QDeadlineTimer deadline(10'000);
    const auto outputOrExit = [this] {
        return m_process.bytesAvailable() > 0 || m_process.state() == QProcess::NotRunning;
    };
    while (QTest::qWaitFor(outputOrExit, int(deadline.remainingTime()))) {
        m_output += QString::fromUtf8(m_process.readAll());
        if (const QRegularExpressionMatch m = listening.match(m_output); m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            m_pagePort = quint16(m.captured(2).toUInt());
            return true;
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
    }
    m_output += QString::fromUtf8(m_process.readAll());
    return false;
}

qint64 ServerProcess::memoryKiB(const QByteArray &field) const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

void ServerProcess::setFileLimit(int files)
{
    m_process.setChildProcessModifier([files] {
        const rlimit limit { rlim_t(files), rlim_t(files) };
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
}

void ServerProcess::terminate()
{
    ::kill(pid_t(m_process.processId()), SIGTERM);
    m_process.waitForFinished(10'000);
}

void ServerProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(10'000);
}

void ServerProcess::pause()
{
    ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void ServerProcess::resume()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

QString ServerProcess::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

QString ServerProcess::pageUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_pagePort);
}

QString ServerProcess::output()
{
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

ServerProcess::Result ServerProcess::command(const QStringList &arguments) const
{
    QProcess process;
    process.start(m_program, QStringList { QStringLiteral("--database"), m_database } + arguments);
    Result result;
    if (!process.waitForFinished(20'000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}
