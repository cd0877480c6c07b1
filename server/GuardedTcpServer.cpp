// GuardedTcpServer: guarded connections for the HTTP layer.
#include "GuardedTcpServer.h"

#include "ConnectionGuard.h"

#include <QSslSocket>
#include <QTcpSocket>

GuardedTcpServer::GuardedTcpServer(QObject *parent)
    : QTcpServer(parent)
{ }

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = m_tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    new ConnectionGuard(socket);
    // The HTTP layer takes the connection at once: a TLS socket gives it only what the
    // handshake has decrypted.
    if (auto *tls = qobject_cast<QSslSocket *>(socket)) {
        tls->setSslConfiguration(*m_tls);
        tls->startServerEncryption();
    }
    addPendingConnection(socket);
}
