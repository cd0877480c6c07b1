// GpsFake: a real gpsd on a loopback port, fed an NMEA log by gpsfake until stopped.
#pragma once

#include <QProcess>
#include <QString>

class GpsFake
{
public:
    GpsFake() = default;
    ~GpsFake() { stop(); }
    GpsFake(const GpsFake &) = delete;
    GpsFake &operator=(const GpsFake &) = delete;

    // Starts gpsfake replaying the log in a loop, with its gpsd's control socket in workDir, and
    // waits until that gpsd accepts clients on the port. False, with the reason in output(), when
    // it does not within 15 s.
    bool start(const QString &logFile, quint16 port, const QString &workDir);

    // Ends gpsfake and, with it, its gpsd: SIGTERM (on which gpsfake stops gpsd itself), then
    // SIGKILL to both when that does not work within 5 s.
    void stop();

    [[nodiscard]] QString output();

    // A loopback port on which nothing listens at the moment.
    [[nodiscard]] static quint16 freePort();

private:
    QProcess m_process;
    QString m_output;
};
