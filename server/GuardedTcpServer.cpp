// GuardedTcpServer: guarded connections for the HTTP layer.
#include "GuardedTcpServer.h"

#include "ConnectionGuard.h"

#include <QTcpSocket>

GuardedTcpServer::GuardedTcpServer(QObject *parent)
    : QTcpServer(parent)
{ }

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    new ConnectionGuard(socket);
    addPendingConnection(socket);
}
