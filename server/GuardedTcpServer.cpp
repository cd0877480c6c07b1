// GuardedTcpServer: admitted, guarded connections for the HTTP layer.
#include "GuardedTcpServer.h"

#include "ConnectionGuard.h"
#include "ConnectionLimits.h"

#include <QEvent>
#include <QSocketNotifier>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

GuardedTcpServer::GuardedTcpServer(ConnectionLimits &limits, QObject *parent)
    : QTcpServer(parent)
    , m_limits(limits)
{
    connect(this, &QTcpServer::acceptError, this, &GuardedTcpServer::onAcceptError);
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = m_tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    auto *guard = new ConnectionGuard(socket);
    const ConnectionLimits::Admission admission = m_limits.admit(socket);
    auto *tls = qobject_cast<QSslSocket *>(socket);
    if (tls && admission != ConnectionLimits::Admission::Drop) {
        tls->setSslConfiguration(*m_tls);
        tls->startServerEncryption();
    }
    switch (admission) {
    case ConnectionLimits::Admission::Serve:
        // The HTTP layer takes the connection at once: a TLS socket gives it only what the
        // handshake has decrypted.
        addPendingConnection(socket);
        return;
    case ConnectionLimits::Admission::Refuse: {
        // Never handed to the HTTP layer, so nobody else deletes it.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        const auto refuse = [guard] {
            guard->refuse("503 Service Unavailable", "Too many connections, try again later");
        };
        if (!tls)
            return refuse();
        // A TLS client is told too, once the handshake is done: a refusal closes the connection,
        // and closing it earlier would cut the handshake short. The handshake gets the time a
        // closing connection has, as the refusal is one.
        connect(tls, &QSslSocket::encrypted, guard, refuse);
        QTimer::singleShot(ConnectionGuard::closingTimeoutMs, guard, [tls] {
            if (!tls->isEncrypted())
                tls->abort();
        });
        return;
    }
    case ConnectionLimits::Admission::Drop:
        socket->abort();
        delete socket;
        return;
    }
}

bool GuardedTcpServer::listenOn(const QHostAddress &address, quint16 port)
{
    if (!listen(address, port))
        return false;
    // Qt's notifier of the listening socket, made by listen(): each of its activations is an
    // attempt to accept.
    for (QSocketNotifier *notifier : findChildren<QSocketNotifier *>())
        notifier->installEventFilter(this);
    return true;
}

// Out of files, accepting fails while the waiting connection keeps the listening socket
// readable, and Qt would try again at once, for ever, at full speed. So it is not tried while
// there is no file for the connection; accepting pauses instead, and resumes a moment later.
bool GuardedTcpServer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::SockAct && !hasFileToAccept()) {
        pauseForFiles(QStringLiteral("no file left for a new connection"));
        return true;
    }
    return QTcpServer::eventFilter(watched, event);
}

bool GuardedTcpServer::hasFileToAccept() const
{
    const int probe = ::fcntl(int(socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (probe < 0)
        return false;
    ::close(probe);
    return true;
}

// Qt itself stops accepting, and for good, on an error it does not take for a passing one.
void GuardedTcpServer::onAcceptError(QAbstractSocket::SocketError error)
{
    if (error != QAbstractSocket::TemporaryError)
        pauseForFiles(errorString());
}

void GuardedTcpServer::pauseForFiles(const QString &reason)
{
    qWarning("peregrix-server: cannot accept connections (%s); trying again in %d ms",
        qPrintable(reason), acceptPauseMs);
    pauseAccepting();
    QTimer::singleShot(acceptPauseMs, this, &QTcpServer::resumeAccepting);
}
