// Reachability: whether an address can be reached over the device's network right now.
#pragma once

#include <QFlags>
#include <QList>
#include <QtGlobal>

#include <array>
#include <optional>

class Reachability
{
public:
    enum Flag : quint32 {
        Reachable = 1u << 1,
        ConnectionRequired = 1u << 2,
    };
    Q_DECLARE_FLAGS(Flags, Flag)

    // A socket address record: byte 0 its length, byte 1 the address family (2 = IPv4), bytes
    // 2-3 the port and, for IPv4, bytes 4-7 the address in network order.
    using Address = std::array<quint8, 128>;

    // The flags for the address, or nothing when they cannot be read (an unusable address, or
    // no routing information). On Linux an address is reachable when a route to it exists on an
    // interface that is up; the any-address 0.0.0.0 thus asks for a default route. A connection
    // never has to be brought up first here, so ConnectionRequired is never set.
    [[nodiscard]] static std::optional<Flags> flags(const Address &address);

    // Tests only: every later flags() call answers `answer` (nothing = could not be read)
    // until clearTestAnswer().
    static void setTestAnswer(std::optional<Flags> answer);
    // Tests only: the next flags() calls answer these in turn, and the last one stays.
    static void setTestAnswers(const QList<std::optional<Flags>> &answers);
    static void clearTestAnswer();

    // The routing check on a given IPv4 and IPv6 route table in /proc/net format.
    [[nodiscard]] static std::optional<Flags> flagsFromRoutes(
        quint32 ipv4Address, const QByteArray &ipv4Routes, const QByteArray &ipv6Routes);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Reachability::Flags)
