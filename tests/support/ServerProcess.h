// ServerProcess: the real peregrix-server run as a process of its own on 127.0.0.1, with a
// database file the test chooses; it can be killed, paused and started again on the same port.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class ServerProcess
{
public:
    struct Result
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    ServerProcess(const QString &program, const QString &database);
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // Starts the server and waits up to 10 s for it to say where it listens. Port 0 takes the
    // one of the previous start, if any, or a free one; the page goes on a free port of its own
    // unless the options say where. False, with the reason in output(), when it does not come
    // up.
    bool start(const QStringList &options = {}, quint16 port = 0);
    void terminate(); // SIGTERM, waits for the exit
    void kill(); // SIGKILL, waits for the exit
    void pause(); // SIGSTOP: connections are accepted by the kernel and never answered
    void resume(); // SIGCONT

    // The files the server may open at most (its soft and hard limit), from the next start on.
    void setFileLimit(int files);

    [[nodiscard]] bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    [[nodiscard]] quint16 port() const { return m_port; }
    // "http://127.0.0.1:PORT/"
    [[nodiscard]] QString baseUrl() const;
    // The operator's listener, with the page and the downloads: "http://127.0.0.1:PORT/"
    [[nodiscard]] QString pageUrl() const;
    [[nodiscard]] qint64 processId() const { return m_process.processId(); }
    // A memory figure of the server's from /proc/PID/status, in KiB ("VmRSS": resident now,
    // "VmHWM": its peak); -1 when it cannot be read.
    [[nodiscard]] qint64 memoryKiB(const QByteArray &field) const;
    [[nodiscard]] QString output();
    [[nodiscard]] int exitCode() const { return m_process.exitCode(); }

    // The program run once with --database and these arguments, e.g. an operator command.
    [[nodiscard]] Result command(const QStringList &arguments) const;

private:
    QString m_program;
    QString m_database;
    QProcess m_process;
    QString m_output;
    quint16 m_port = 0;
    quint16 m_pagePort = 0;
};
