// Reachability on Linux route tables, and the answer that tests can set.
#include "TestEnvironment.h"

#include "platform/Reachability.h"

#include <QApplication>
#include <QtTest>

namespace {

const QByteArray routeHeader
    = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray route(const char *iface, const char *dest, const char *flags, const char *mask)
{
    return QByteArray(iface) + "\t" + dest + "\t010200C0\t" + flags + "\t0\t0\t0\t" + mask
        + "\t0\t0\t0\n";
}

quint32 ipv4(int a, int b, int c, int d)
{
    return quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | quint32(d);
}

} // namespace

class TestReachability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Reachability::clearTestAnswer(); }

    void routeTables_data()
    {
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QByteArray>("ipv4Routes");
        QTest::addColumn<QByteArray>("ipv6Routes");
        QTest::addColumn<quint32>("flags");
        const quint32 any = 0;
        const quint32 R = Reachability::Reachable;
        const QByteArray v6Default = "00000000000000000000000000000000 00 "
                                     "00000000000000000000000000000000 00 "
                                     "fe800000000000000000000000000001 00000400 00000001 "
                                     "00000000 00000003      lo\n";
        QTest::newRow("default route on an up interface")
            << any << routeHeader + route("lo", "00000000", "0003", "00000000") << QByteArray()
            << R;
        QTest::newRow("default route on a missing interface")
            << any << routeHeader + route("nosuch9", "00000000", "0003", "00000000") << QByteArray()
            << 0u;
        QTest::newRow("default route not up")
            << any << routeHeader + route("lo", "00000000", "0002", "00000000") << QByteArray()
            << 0u;
        QTest::newRow("only a local network")
            << any << routeHeader + route("lo", "000200C0", "0001", "00FFFFFF") << QByteArray()
            << 0u;
        QTest::newRow("address inside the local network")
            << ipv4(192, 0, 2, 77) << routeHeader + route("lo", "000200C0", "0001", "00FFFFFF")
            << QByteArray() << R;
        QTest::newRow("address outside the local network")
            << ipv4(198, 51, 100, 1) << routeHeader + route("lo", "000200C0", "0001", "00FFFFFF")
            << QByteArray() << 0u;
        QTest::newRow("loopback needs no route")
            << ipv4(127, 0, 0, 1) << routeHeader << QByteArray() << R;
        QTest::newRow("empty tables") << any << QByteArray() << QByteArray() << 0u;
        QTest::newRow("garbage table")
            << any << QByteArray("\x01\x02 zz\n\n\t\t\n", 10) << QByteArray("x y z") << 0u;
        QTest::newRow("IPv6 default through loopback is no way out")
            << any << routeHeader << v6Default << 0u;
    }
    void routeTables()
    {
        QFETCH(quint32, address);
        QFETCH(QByteArray, ipv4Routes);
        QFETCH(QByteArray, ipv6Routes);
        QFETCH(quint32, flags);
        const std::optional<Reachability::Flags> answer
            = Reachability::flagsFromRoutes(address, ipv4Routes, ipv6Routes);
        QCOMPARE(answer.value_or(Reachability::Flags::fromInt(999u)).toInt(), flags);
    }

    void unusableAddressesHaveNoFlags_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("family");
        QTest::newRow("no length") << 0 << 2;
        QTest::newRow("too short for IPv4") << 8 << 2;
        QTest::newRow("unknown family") << 128 << 99;
    }
    void unusableAddressesHaveNoFlags()
    {
        QFETCH(int, length);
        QFETCH(int, family);
        Reachability::Address address {};
        address[0] = quint8(length);
        address[1] = quint8(family);
        QVERIFY(!Reachability::flags(address).has_value());
    }

    void theMachineAnswersForTheAnyAddress()
    {
        Reachability::Address address {};
        address[0] = 128;
        address[1] = 2;
        const std::optional<Reachability::Flags> flags = Reachability::flags(address);
        QVERIFY(flags.has_value());
        QVERIFY(!(*flags & Reachability::ConnectionRequired));
    }

    void testAnswerOverridesTheSystem()
    {
        Reachability::Address address {};
        address[0] = 128;
        address[1] = 2;
        Reachability::setTestAnswer(Reachability::Reachable | Reachability::ConnectionRequired);
        QCOMPARE(Reachability::flags(address).value_or(Reachability::Flags()),
            Reachability::Reachable | Reachability::ConnectionRequired);
        Reachability::setTestAnswer(std::nullopt);
        QVERIFY(!Reachability::flags(address).has_value());
        Reachability::clearTestAnswer();
        QVERIFY(Reachability::flags(address).has_value());
    }
};

PEREGRIX_TEST_MAIN(TestReachability)
#include "tst_Reachability.moc"
