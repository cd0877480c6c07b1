// GpsFake: a real gpsd on a loopback port, fed an NMEA log by gpsfake until stopped.
#include "GpsFake.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

bool GpsFake::start(const QString &logFile, quint16 port, const QString &workDir)
{
    stop();
    m_output.clear();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), workDir);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A process group of its own lets stop() reach gpsd, gpsfake's child, too; the death signal
    // makes gpsfake (and so gpsd) go away even when the test itself is killed.
    m_process.setChildProcessModifier([] {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_process.start(QStringLiteral("/usr/bin/gpsfake"),
        { QStringLiteral("-q"), QStringLiteral("-P"), QString::number(port), QStringLiteral("-c"),
            QStringLiteral("0.1"), logFile });
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(250))
            return true;
        QTest::qWait(100);
    }
    return false;
}

void GpsFake::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    const pid_t pid = pid_t(m_process.processId());
    ::kill(pid, SIGTERM);
    if (!m_process.waitForFinished(5000)) {
        ::kill(-pid, SIGKILL);
        m_process.waitForFinished(5000);
    }
    // Should gpsd have outlived gpsfake it would keep the port; it is still in the group.
    ::kill(-pid, SIGKILL);
    m_output += QString::fromLocal8Bit(m_process.readAll());
}

QString GpsFake::output()
{
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return m_process.errorString() + QLatin1Char('\n') + m_output;
}

quint16 GpsFake::freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}
