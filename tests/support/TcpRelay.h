// TcpRelay: a loopback port that passes connections on to another, until it is told to go
// silent: then it cuts what it relays, and takes new connections without a word, as a
// database host does that hangs or drops off the network.
#pragma once

#include <QObject>
#include <QTcpServer>

class TcpRelay : public QObject
{
    Q_OBJECT

public:
    explicit TcpRelay(quint16 target);
    [[nodiscard]] quint16 port() const { return m_server.serverPort(); }
    void setSilent(bool silent);

private:
    void relay(QTcpSocket *client);

    QTcpServer m_server;
    quint16 m_target;
    bool m_silent = false;
};
