// Typed reads and writes of the preferences store, persistence across processes, bad files.
#include "TestEnvironment.h"
#include "UserDefaultsTool.h"
#include "WriteFile.h"

#include "platform/UserDefaults.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cfloat>
#include <climits>
#include <cmath>
#include <sys/stat.h>

class TestUserDefaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    [[nodiscard]] QString file(const QString &name = QStringLiteral("Peregrix.conf")) const
    {
        return m_dir.filePath(name);
    }

private Q_SLOTS:
    void init() { QFile::remove(file()); }

    void standardStoreLivesInTheConfigFolder()
    {
        QVERIFY(UserDefaults::defaultPath().endsWith(QLatin1String("/Peregrix/Peregrix.conf")));
        QCOMPARE(&UserDefaults::standardUserDefaults(), &UserDefaults::standardUserDefaults());
    }

    void absentKeysReadAsEmptyValues()
    {
        UserDefaults store(file());
        QVERIFY(store.stringForKey(QStringLiteral("user")).isNull());
        QCOMPARE(store.integerForKey(QStringLiteral("frequency")), 0);
        QCOMPARE(store.boolForKey(QStringLiteral("validated")), false);
        QCOMPARE(store.floatForKey(QStringLiteral("hue")), 0.0f);
    }

    void stringsRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QStringLiteral("");
        QTest::newRow("plain") << QStringLiteral("Test");
        QTest::newRow("comma") << QStringLiteral("a,b, c");
        QTest::newRow("ini syntax") << QStringLiteral("[x]=;#y");
        QTest::newRow("at sign") << QStringLiteral("@Variant(junk)");
        QTest::newRow("blanks kept") << QStringLiteral("  two sides  ");
        QTest::newRow("line breaks") << QStringLiteral("one\ntwo\r\n");
        QTest::newRow("quotes and backslash") << QStringLiteral("\"q\" \\ 'x'");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße €");
        QTest::newRow("emoji") << QString::fromUtf8("\xF0\x9F\x98\x80 go");
        QTest::newRow("looks like a bool") << QStringLiteral("true");
        QTest::newRow("looks like a number") << QStringLiteral("0042");
    }
    void stringsRoundTrip()
    {
        QFETCH(QString, value);
        {
            UserDefaults store(file());
            store.setString(value, QStringLiteral("user"));
            QCOMPARE(store.stringForKey(QStringLiteral("user")), value);
            QVERIFY(!store.stringForKey(QStringLiteral("user")).isNull());
            QVERIFY(store.synchronize());
        }
        UserDefaults reopened(file());
        QCOMPARE(reopened.stringForKey(QStringLiteral("user")), value);
        QVERIFY(!reopened.stringForKey(QStringLiteral("user")).isNull());
    }

    void integersRoundTrip_data()
    {
        QTest::addColumn<qint32>("value");
        for (qint32 v : { 0, 1, -1, 5, 99, INT_MAX, INT_MIN })
            QTest::newRow(qPrintable(QString::number(v))) << v;
    }
    void integersRoundTrip()
    {
        QFETCH(qint32, value);
        {
            UserDefaults store(file());
            store.setInteger(value, QStringLiteral("frequency"));
            QCOMPARE(store.integerForKey(QStringLiteral("frequency")), value);
            QVERIFY(store.synchronize());
        }
        QCOMPARE(UserDefaults(file()).integerForKey(QStringLiteral("frequency")), value);
    }

    void floatsRoundTripExactly_data()
    {
        QTest::addColumn<float>("value");
        QTest::newRow("0.1") << 0.1f;
        QTest::newRow("saturation top") << 1.15604031f;
        QTest::newRow("brightness bottom") << 0.0172413792f;
        QTest::newRow("one third") << 1.0f / 3.0f;
        QTest::newRow("negative") << -123.456f;
        QTest::newRow("smallest normal") << FLT_MIN;
        QTest::newRow("denormal") << FLT_TRUE_MIN;
        QTest::newRow("largest") << FLT_MAX;
        QTest::newRow("infinity") << INFINITY;
    }
    void floatsRoundTripExactly()
    {
        QFETCH(float, value);
        {
            UserDefaults store(file());
            store.setFloat(value, QStringLiteral("sat"));
            QCOMPARE(store.floatForKey(QStringLiteral("sat")), value);
            QVERIFY(store.synchronize());
        }
        const float back = UserDefaults(file()).floatForKey(QStringLiteral("sat"));
        QVERIFY2(std::memcmp(&back, &value, sizeof value) == 0,
            qPrintable(QString::number(double(back), 'g', 12)));
    }

    void boolsRoundTrip()
    {
        UserDefaults store(file());
        store.setBool(true, QStringLiteral("validated"));
        store.setBool(false, QStringLiteral("sendauto"));
        QVERIFY(store.synchronize());
        UserDefaults reopened(file());
        QCOMPARE(reopened.boolForKey(QStringLiteral("validated")), true);
        QCOMPARE(reopened.boolForKey(QStringLiteral("sendauto")), false);
    }

    void handEditedValuesReadSafely_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<qint32>("asInteger");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<float>("asFloat");
        QTest::newRow("words") << QByteArray("k=abc") << 0 << false << 0.0f;
        QTest::newRow("empty") << QByteArray("k=") << 0 << false << 0.0f;
        QTest::newRow("too big") << QByteArray("k=99999999999") << 0 << true << 1e11f;
        QTest::newRow("yes") << QByteArray("k=YES") << 0 << true << 0.0f;
        QTest::newRow("padded number") << QByteArray("k= 3 ") << 3 << true << 3.0f;
        QTest::newRow("unquoted list") << QByteArray("k=1,2") << 0 << false << 0.0f;
    }
    void handEditedValuesReadSafely()
    {
        QFETCH(QByteArray, line);
        QFETCH(qint32, asInteger);
        QFETCH(bool, asBool);
        QFETCH(float, asFloat);
        // A file of its own per row: QSettings trusts its cache for a file of unchanged size and
        // time.
        const QString path = file(QString::fromLatin1(QTest::currentDataTag()) + ".conf");
        QVERIFY(writeFile(path, "[General]\n" + line + "\n"));
        UserDefaults store(path);
        QCOMPARE(store.integerForKey(QStringLiteral("k")), asInteger);
        QCOMPARE(store.boolForKey(QStringLiteral("k")), asBool);
        QCOMPARE(store.floatForKey(QStringLiteral("k")), asFloat);
    }

    void removedKeyReadsAsAbsentAgain()
    {
        UserDefaults store(file());
        store.setString(QStringLiteral("Anna"), QStringLiteral("user"));
        QVERIFY(store.synchronize());
        store.removeObjectForKey(QStringLiteral("user"));
        QVERIFY(store.stringForKey(QStringLiteral("user")).isNull());
        QVERIFY(store.synchronize());
        QVERIFY(UserDefaults(file()).stringForKey(QStringLiteral("user")).isNull());
    }

    void writesAreVisibleAtOnceAndOnlyFlushedOnesSurvive()
    {
        UserDefaults store(file());
        store.setString(QStringLiteral("Anna"), QStringLiteral("user"));
        QCOMPARE(store.stringForKey(QStringLiteral("user")), QStringLiteral("Anna"));
        QVERIFY(store.synchronize());
        store.setString(QStringLiteral("Bert"), QStringLiteral("user"));
        QCOMPARE(userDefaultsTool({ file(), "read", "string", "user" }), QStringLiteral("Anna"));
        QVERIFY(store.synchronize());
        QCOMPARE(userDefaultsTool({ file(), "read", "string", "user" }), QStringLiteral("Bert"));
    }

    void aValueAlreadyStoredIsNotWrittenAgain()
    {
        // Each write replaces the file with a new one.
        const auto inode = [this] {
            struct stat status
            {
            };
            return ::stat(QFile::encodeName(file()).constData(), &status) == 0 ? status.st_ino : 0;
        };
        UserDefaults store(file());
        store.setString(QStringLiteral("Anna"), QStringLiteral("user"));
        QVERIFY(store.synchronize());
        const ino_t written = inode();
        store.setString(QStringLiteral("Anna"), QStringLiteral("user"));
        QVERIFY(store.synchronize());
        QCOMPARE(inode(), written);
        store.setString(QStringLiteral("Bert"), QStringLiteral("user"));
        QVERIFY(store.synchronize());
        QVERIFY(inode() != written);
    }

    void valuesSurviveARestartOfTheProcess()
    {
        QCOMPARE(userDefaultsTool({ file(), "write", "int", "frequency", "4" }), QString());
        QCOMPARE(userDefaultsTool({ file(), "write", "float", "hue", "0.734" }), QString());
        QCOMPARE(userDefaultsTool({ file(), "write", "bool", "sendauto", "true" }), QString());
        QCOMPARE(userDefaultsTool({ file(), "write", "string", "bg", "FF7F00" }), QString());
        UserDefaults store(file());
        QCOMPARE(store.integerForKey(QStringLiteral("frequency")), 4);
        QCOMPARE(store.floatForKey(QStringLiteral("hue")), 0.734f);
        QCOMPARE(store.boolForKey(QStringLiteral("sendauto")), true);
        QCOMPARE(store.stringForKey(QStringLiteral("bg")), QStringLiteral("FF7F00"));
        QCOMPARE(userDefaultsTool({ file(), "read", "string", "user" }), QStringLiteral("<null>"));
    }

    void corruptFileReadsAsEmptyAndIsKeptAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage += char((i * 7919 + 13) % 256);
        QTest::newRow("binary garbage") << garbage;
        QTest::newRow("broken section") << QByteArray("[General\nuser=Anna\n");
        QTest::newRow("nul bytes") << QByteArray("user=An\0na\n\0\0\0", 15);
        QTest::newRow("broken UTF-8") << QByteArray("[General]\nuser=\xff\xfe\n");
    }
    void corruptFileReadsAsEmptyAndIsKeptAside()
    {
        QFETCH(QByteArray, content);
        const QString path = file(QString::fromLatin1(QTest::currentDataTag()) + ".conf");
        QVERIFY(writeFile(path, content));

        UserDefaults store(path);
        QCOMPARE(store.integerForKey(QStringLiteral("frequency")), 0);
        store.setInteger(2, QStringLiteral("frequency"));
        store.setString(QStringLiteral("Anna"), QStringLiteral("user"));
        QVERIFY(store.synchronize());
        QCOMPARE(store.integerForKey(QStringLiteral("frequency")), 2);
        UserDefaults reopened(path);
        QCOMPARE(reopened.integerForKey(QStringLiteral("frequency")), 2);
        QCOMPARE(reopened.stringForKey(QStringLiteral("user")), QStringLiteral("Anna"));
        QFile aside(path + QStringLiteral(".unreadable"));
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), content);
    }

    void failedFlushIsNotFatal()
    {
        // A folder that cannot be made: its parent is a plain file.
        QVERIFY(writeFile(file(QStringLiteral("blocker")), QByteArray()));
        UserDefaults store(file(QStringLiteral("blocker/Peregrix/Peregrix.conf")));
        store.setString(QStringLiteral("Anna"), QStringLiteral("user"));
        QVERIFY(!store.synchronize());
        QCOMPARE(store.stringForKey(QStringLiteral("user")), QStringLiteral("Anna"));
        store.setInteger(3, QStringLiteral("frequency"));
        QCOMPARE(store.integerForKey(QStringLiteral("frequency")), 3);
    }
};

PEREGRIX_TEST_MAIN(TestUserDefaults)
#include "tst_UserDefaults.moc"
