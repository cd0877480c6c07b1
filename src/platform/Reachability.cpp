// Reachability: whether an address can be reached over the device's network right now.
#include "Reachability.h"

#include <QFile>
#include <QList>
#include <QtEndian>

#include <cstring>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Answers still to give, the last one for good; empty when the system answers.
QList<std::optional<Reachability::Flags>> testAnswers;

constexpr quint8 familyIPv4 = 2;
constexpr quint8 ipv4RecordLength = 16;
constexpr quint32 routeUp = 0x1; // RTF_UP

// Asks the kernel for this one interface's flags, in the network namespace of the process.
// Every report asks, so this stays a single ioctl rather than a listing of all interfaces and
// their addresses.
bool interfaceIsUp(const QByteArray &name)
{
    if (name == "lo")
        return true;
    ifreq request {};
    if (name.isEmpty() || name.size() >= qsizetype(sizeof(request.ifr_name)))
        return false;
    std::memcpy(request.ifr_name, name.constData(), std::size_t(name.size()));
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const bool known = ::ioctl(probe, SIOCGIFFLAGS, &request) == 0;
    ::close(probe);
    return known && (request.ifr_flags & IFF_UP);
}

// /proc/net/route: "Iface Destination Gateway Flags RefCnt Use Metric Mask ...", with the
// addresses as hexadecimal words in host byte order.
bool ipv4RouteCovers(quint32 address, const QByteArray &table)
{
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        if (f.size() < 8)
            continue;
        bool okDest = false, okFlags = false, okMask = false;
        const quint32 dest = f[1].toUInt(&okDest, 16);
        const quint32 routeFlags = f[3].toUInt(&okFlags, 16);
        const quint32 mask = f[7].toUInt(&okMask, 16);
        if (!okDest || !okFlags || !okMask || !(routeFlags & routeUp))
            continue;
        if ((address & mask) == dest && interfaceIsUp(f[0]))
            return true;
    }
    return false;
}

// /proc/net/ipv6_route: "dest destlen src srclen nexthop metric refcnt use flags iface".
bool ipv6DefaultRoute(const QByteArray &table)
{
    const QList<QByteArray> lines = table.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 10 || f[1] != "00" || f[0] != QByteArray(32, '0'))
            continue;
        bool ok = false;
        const quint32 routeFlags = f[8].toUInt(&ok, 16);
        // A blackhole or unreachable default (RTF_REJECT) is no way out.
        if (ok && (routeFlags & routeUp) && !(routeFlags & 0x0200) && f[9] != "lo"
            && interfaceIsUp(f[9]))
            return true;
    }
    return false;
}

QByteArray readProcFile(const char *path, bool *ok)
{
    QFile file(QString::fromLatin1(path));
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

} // namespace

std::optional<Reachability::Flags> Reachability::flagsFromRoutes(
    quint32 ipv4Address, const QByteArray &ipv4Routes, const QByteArray &ipv6Routes)
{
    if ((ipv4Address >> 24) == 127)
        return Reachable;
    // The kernel prints each address as the native word holding its network-order bytes.
    if (ipv4RouteCovers(qToBigEndian(ipv4Address), ipv4Routes))
        return Reachable;
    if (ipv4Address == 0 && ipv6DefaultRoute(ipv6Routes))
        return Reachable;
    return Flags();
}

std::optional<Reachability::Flags> Reachability::flags(const Address &address)
{
    if (!testAnswers.isEmpty())
        return testAnswers.size() > 1 ? testAnswers.takeFirst() : testAnswers.first();
    if (address[0] < ipv4RecordLength || address[1] != familyIPv4)
        return std::nullopt;
    const quint32 ipv4 = quint32(address[4]) << 24 | quint32(address[5]) << 16
        | quint32(address[6]) << 8 | quint32(address[7]);
    bool ok4 = false, ok6 = false;
    const QByteArray routes4 = readProcFile("/proc/net/route", &ok4);
    // Every report asks, and most devices have their way out over IPv4: the IPv6 table is read
    // only when the IPv4 one has none.
    if (ok4) {
        const std::optional<Flags> overIPv4 = flagsFromRoutes(ipv4, routes4, {});
        if (overIPv4->testFlag(Reachable))
            return overIPv4;
    }
    const QByteArray routes6 = readProcFile("/proc/net/ipv6_route", &ok6);
    if (!ok4 && !ok6)
        return std::nullopt;
    return flagsFromRoutes(ipv4, {}, routes6); // the IPv4 table has been searched already
}

void Reachability::setTestAnswer(std::optional<Flags> answer)
{
    testAnswers = { answer };
}

void Reachability::setTestAnswers(const QList<std::optional<Flags>> &answers)
{
    testAnswers = answers;
}

void Reachability::clearTestAnswer()
{
    testAnswers.clear();
}
