// OperatorCommands: what the server's operator does from the shell, on the same database the
// running server uses: list devices and users, add and release a user name, stop and resume a
// device, export a track.
#pragma once

#include "TrackingStore.h"

#include <QStringList>
#include <QTextStream>

class OperatorCommands
{
public:
    enum ExitCode { Success = 0, Failure = 1, Usage = 2 };

    static constexpr int maxStopMessage = 200;
    static constexpr const char *defaultStopMessage
        = "Tracking was stopped by the server's operator.";

    OperatorCommands(TrackingStore &store, QTextStream &out, QTextStream &err);

    // `command` is the command's name followed by its arguments.
    [[nodiscard]] int run(const QStringList &command);

    // The program shows a stop message only when it is ASCII, and on one line.
    [[nodiscard]] static bool isUsableStopMessage(const QString &message);

private:
    int devices();
    int users();
    int addUser(const QString &name);
    int releaseUser(const QString &name);
    // The device given by its identifier or by its alias; null, with the reason told, when
    // there is no such device.
    [[nodiscard]] QString device(const QString &given);
    int stop(const QString &device, const QString &message);
    int resume(const QString &device);
    int exportGpx(const QString &device, const QString &file);
    int usage(const QString &problem);
    int cannotWrite(const QString &file, const QString &why);

    TrackingStore &m_store;
    QTextStream &m_out;
    QTextStream &m_err;
};
