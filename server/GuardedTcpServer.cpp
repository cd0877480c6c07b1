// GuardedTcpServer: admitted, guarded connections for the HTTP layer.
#include "GuardedTcpServer.h"

#include "ConnectionGuard.h"
#include "ConnectionLimits.h"

#include <QTcpSocket>
#include <QTimer>

GuardedTcpServer::GuardedTcpServer(ConnectionLimits &limits, QObject *parent)
    : QTcpServer(parent)
    , m_limits(limits)
{
    connect(this, &QTcpServer::acceptError, this, &GuardedTcpServer::onAcceptError);
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    auto *guard = new ConnectionGuard(socket);
    switch (m_limits.admit(socket)) {
    case ConnectionLimits::Admission::Serve:
        addPendingConnection(socket);
        return;
    case ConnectionLimits::Admission::Refuse:
        // Never handed to the HTTP layer, so nobody else deletes it.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        guard->refuse("503 Service Unavailable", "Too many connections, try again later");
        return;
    case ConnectionLimits::Admission::Drop:
        socket->abort();
        delete socket;
        return;
    }
}

// Out of files, the listening socket stays readable while accepting fails; Qt stops accepting
// then, and for good. Accepting again a little later neither spins nor leaves the server deaf
// once connections have closed.
void GuardedTcpServer::onAcceptError(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::TemporaryError)
        return;
    qWarning("peregrix-server: cannot accept connections: %s; trying again in %d ms",
        qPrintable(errorString()), acceptPauseMs);
    pauseAccepting();
    QTimer::singleShot(acceptPauseMs, this, &QTcpServer::resumeAccepting);
}
