// TcpRelay: a loopback port that passes connections on to another, or goes silent.
#include "TcpRelay.h"

#include <QTcpSocket>

TcpRelay::TcpRelay(quint16 target)
    : m_target(target)
{
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *client = m_server.nextPendingConnection()) {
            client->setParent(this);
            if (!m_silent)
                relay(client);
        }
    });
}

void TcpRelay::setSilent(bool silent)
{
    m_silent = silent;
    if (silent)
        qDeleteAll(findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly));
}

void TcpRelay::relay(QTcpSocket *client)
{
    auto *upstream = new QTcpSocket(client);
    upstream->connectToHost(QHostAddress::LocalHost, m_target);
    connect(client, &QTcpSocket::readyRead, upstream,
        [client, upstream] { upstream->write(client->readAll()); });
    connect(upstream, &QTcpSocket::readyRead, client,
        [client, upstream] { client->write(upstream->readAll()); });
    connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
    connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
}
