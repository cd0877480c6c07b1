// GuardedTcpServer: a TCP server that admits connections within the caps, puts a
// ConnectionGuard on every one before the HTTP layer takes it, speaks TLS when told to, and keeps
// accepting after the system runs out of files.
#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

#include <optional>

class ConnectionLimits;

class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    static constexpr int acceptPauseMs = 1'000;

    // The limits are shared by every listener of the server and must outlive it.
    explicit GuardedTcpServer(ConnectionLimits &limits, QObject *parent = nullptr);

    // listen(), watching each attempt to accept.
    [[nodiscard]] bool listenOn(const QHostAddress &address, quint16 port);

    // Connections accepted after this speak TLS; the guard sees the decrypted bytes.
    void setTls(const QSslConfiguration &configuration) { m_tls = configuration; }

protected:
    void incomingConnection(qintptr descriptor) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    [[nodiscard]] bool hasFileToAccept() const;
    void onAcceptError(QAbstractSocket::SocketError error);
    void pauseForFiles(const QString &reason);

    ConnectionLimits &m_limits;
    std::optional<QSslConfiguration> m_tls;
};
