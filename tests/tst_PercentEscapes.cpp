// Escaping of whole URL texts: the exact character set, UTF-8, and texts that cannot be escaped.
#include "TestEnvironment.h"

#include "platform/PercentEscapes.h"

#include <QApplication>
#include <QtTest>

class TestPercentEscapes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void allPrintableAscii()
    {
        QString printable;
        for (char16_t c = 0x20; c <= 0x7E; ++c)
            printable += QChar(c);
        QCOMPARE(printable.size(), 95);
        QCOMPARE(addingPercentEscapes(printable),
            QStringLiteral("%20!%22%23$%25&'()*+,-./0123456789:;%3C=%3E?@"
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZ[%5C]%5E_%60"
                           "abcdefghijklmnopqrstuvwxyz%7B%7C%7D~"));
    }

    void escapes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("empty") << QStringLiteral("") << QStringLiteral("");
        QTest::newRow("controls") << QStringLiteral("\t\n\x7f") << QStringLiteral("%09%0A%7F");
        QTest::newRow("nul") << QString(QChar(0)) << QStringLiteral("%00");
        QTest::newRow("two-byte") << QStringLiteral("é") << QStringLiteral("%C3%A9");
        QTest::newRow("three-byte") << QStringLiteral("€") << QStringLiteral("%E2%82%AC");
        QTest::newRow("four-byte pair")
            << QString::fromUtf8("\xF0\x9F\x98\x80") << QStringLiteral("%F0%9F%98%80");
        QTest::newRow("already escaped is escaped again")
            << QStringLiteral("a%20b") << QStringLiteral("a%2520b");
        QTest::newRow("report")
            << QStringLiteral("http://localhost:8080/log.php?u=Jo Ann&d=ab&speed=22 MPH&id=3")
            << QStringLiteral("http://localhost:8080/log.php?u=Jo%20Ann&d=ab&speed=22%20MPH&id=3");
    }
    void escapes()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        const QString result = addingPercentEscapes(text);
        QCOMPARE(result, escaped);
        QVERIFY(!result.isNull());
    }

    void unpairedSurrogatesCannotBeEscaped_data()
    {
        QTest::addColumn<QString>("text");
        const QChar high(0xD83D), low(0xDE00);
        QTest::newRow("high at end") << QStringLiteral("name") + high;
        QTest::newRow("high before letter") << QString(high) + QStringLiteral("x");
        QTest::newRow("low alone") << QStringLiteral("a") + low + QStringLiteral("b");
        QTest::newRow("swapped pair") << QString(low) + high;
    }
    void unpairedSurrogatesCannotBeEscaped()
    {
        QFETCH(QString, text);
        QVERIFY(addingPercentEscapes(text).isNull());
    }

    void validUrls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("report") << QStringLiteral("http://h:8080/log.php?u=a%20b&id=1") << true;
        QTest::newRow("https") << QStringLiteral("https://example.org/") << true;
        QTest::newRow("fragment") << QStringLiteral("http://h/p#top") << true;
        QTest::newRow("IPv6 host") << QStringLiteral("http://[::1]:8080/log.php?u=[a]") << true;
        QTest::newRow("blank") << QStringLiteral("http://h/a b") << false;
        QTest::newRow("bad escape") << QStringLiteral("http://h/a%2") << false;
        QTest::newRow("bad hex") << QStringLiteral("http://h/a%zz") << false;
        QTest::newRow("two fragments") << QStringLiteral("http://h/a#b#c") << false;
        QTest::newRow("non-ASCII") << QStringLiteral("http://h/é") << false;
        QTest::newRow("no scheme") << QStringLiteral("log.php?u=x") << false;
        QTest::newRow("other scheme") << QStringLiteral("file:///etc/passwd") << false;
        QTest::newRow("no host") << QStringLiteral("http:///x") << false;
        QTest::newRow("empty") << QStringLiteral("") << false;
    }
    void validUrls()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isValidUrl(text), valid);
        QCOMPARE(urlWithString(text).isValid(), valid);
    }

    void urlKeepsTheEscapedTextByteForByte()
    {
        const QString text = addingPercentEscapes(
            QStringLiteral("http://127.0.0.1:1/log.php?u=a&b=c!$'()*+,;@~[]{}|^`\"<> é&Late=Y"));
        QCOMPARE(urlWithString(text).toEncoded(), text.toLatin1());
    }
};

PEREGRIX_TEST_MAIN(TestPercentEscapes)
#include "tst_PercentEscapes.moc"
