// PostgresProbe: whether a PostgreSQL server answers at all, asked within a deadline.
#include "PostgresProbe.h"

#include <QTcpSocket>

namespace {

// The SSLRequest message: its length (8) and the request code 80877103, both big-endian.
constexpr char sslRequest[] = { 0, 0, 0, 8, 0x04, char(0xd2), 0x16, 0x2f };

} // namespace

bool PostgresProbe::answers(const QString &host, quint16 port, QDeadlineTimer deadline)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(sslRequest, sizeof sslRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    if (!socket.waitForReadyRead(int(deadline.remainingTime())))
        return false;
    char answer = 0;
    const bool answered = socket.getChar(&answer) && (answer == 'S' || answer == 'N');
    socket.abort();
    return answered;
}
