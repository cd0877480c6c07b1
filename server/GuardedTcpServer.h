// GuardedTcpServer: a TCP server that puts a ConnectionGuard on every connection before the
// HTTP layer takes it.
#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

#include <optional>

class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit GuardedTcpServer(QObject *parent = nullptr);

    // Connections accepted after this speak TLS; the guard sees the decrypted bytes.
    void setTls(const QSslConfiguration &configuration) { m_tls = configuration; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    std::optional<QSslConfiguration> m_tls;
};
