// ConnectionLimits: caps on connections, fitted to the process's limit on open files.
#include "ConnectionLimits.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <sys/resource.h>

ConnectionLimits::ConnectionLimits(int total, int perAddress)
    : m_total(total)
    , m_perAddress(perAddress)
{ }

ConnectionLimits ConnectionLimits::forThisProcess()
{
    const rlim_t wanted = defaultTotal + refusalsAtOnce + otherFiles;
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0)
        return { defaultTotal, defaultPerAddress };
    // The soft limit is often kept low for programs that still use select(); Qt does not.
    if (files.rlim_cur < wanted && files.rlim_cur != RLIM_INFINITY) {
        rlimit raised = files;
        raised.rlim_cur
            = files.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, files.rlim_max);
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            files = raised;
    }
    const rlim_t room = files.rlim_cur == RLIM_INFINITY ? wanted : files.rlim_cur;
    const int total
        = room > wanted ? defaultTotal : std::max(1, int(room) - refusalsAtOnce - otherFiles);
    return { total, std::min(defaultPerAddress, total) };
}

ConnectionLimits::Admission ConnectionLimits::admit(QTcpSocket *socket)
{
    const QByteArray key = sourceKey(socket->peerAddress());
    int &fromSource = m_perSource[key];
    const bool withinCaps = m_open < m_total && fromSource < m_perAddress;
    const Admission admission = withinCaps  ? Admission::Serve
        : m_open < m_total + refusalsAtOnce ? Admission::Refuse
                                            : Admission::Drop;
    ++m_open;
    ++fromSource;
    QObject::connect(socket, &QObject::destroyed, [this, key] { release(key); });
    return admission;
}

void ConnectionLimits::release(const QByteArray &key)
{
    --m_open;
    const auto source = m_perSource.find(key);
    if (source != m_perSource.end() && --*source <= 0)
        m_perSource.erase(source);
}

QByteArray ConnectionLimits::sourceKey(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ipv4 = address.toIPv4Address(&v4);
    if (v4) {
        const char bytes[] = { char(ipv4 >> 24), char(ipv4 >> 16), char(ipv4 >> 8), char(ipv4) };
        return QByteArray(bytes, sizeof bytes);
    }
    const Q_IPV6ADDR ipv6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(ipv6.c), 8);
}
