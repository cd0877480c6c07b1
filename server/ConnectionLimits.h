// ConnectionLimits: how many client connections the server holds at once, overall and from one
// source address, and the count of those it holds.
#pragma once

#include <QByteArray>
#include <QHash>

class QHostAddress;
class QTcpSocket;

class ConnectionLimits
{
public:
    static constexpr int defaultTotal = 4096;
    static constexpr int defaultPerAddress = 128;
    // Files the server needs besides its connections: the database and its journal, the
    // listeners, the event loop's own.
    static constexpr int otherFiles = 128;
    // Connections past the cap are answered "503" and closed; a flood of them beyond this many
    // at once is closed without an answer, so that it cannot use up the files either.
    static constexpr int refusalsAtOnce = 64;

    ConnectionLimits(int total, int perAddress);

    // The defaults, within what the process may open: the limit on open files is raised as
    // far as the system lets it, and the caps are lowered to fit under it.
    [[nodiscard]] static ConnectionLimits forThisProcess();

    enum class Admission { Serve, Refuse, Drop };
    // Whether the new connection is served, refused with an answer, or closed at once. It is
    // counted in any case until the socket is destroyed.
    [[nodiscard]] Admission admit(QTcpSocket *socket);

    [[nodiscard]] int total() const { return m_total; }
    [[nodiscard]] int perAddress() const { return m_perAddress; }

    // The key connections from one source are counted under: the IPv4 address, or the /64
    // network of an IPv6 one, as one host usually has a whole /64 to choose addresses from.
    [[nodiscard]] static QByteArray sourceKey(const QHostAddress &address);

private:
    void release(const QByteArray &key);

    int m_total;
    int m_perAddress;
    int m_open = 0;
    QHash<QByteArray, int> m_perSource;
};
