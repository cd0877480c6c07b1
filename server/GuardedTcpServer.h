// GuardedTcpServer: a TCP server that puts a ConnectionGuard on every connection before the
// HTTP layer takes it.
#pragma once

#include <QTcpServer>

class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit GuardedTcpServer(QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;
};
