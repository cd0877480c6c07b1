// The preferences file under faults: a process killed while it flushes, and files that are
// damaged or cannot be read.
#include "TestEnvironment.h"
#include "WriteFile.h"

#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

class TestPreferencesFaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    // Each flush replaces the file as a whole, so a kill at any moment leaves either the old or
    // the new file, never a mixture.
    void killedWhileFlushingLeavesAReadableFile()
    {
        const QString file = m_dir.filePath(QStringLiteral("killed.conf"));
        {
            UserDefaults first(file); // a kill before the first flush must still find a file
            first.setInteger(1, QStringLiteral("frequency"));
            QVERIFY(first.synchronize());
        }
        QRandomGenerator random(20261207);
        int killedMidway = 0;
        for (int round = 0; round < 40; ++round) {
            QProcess writer;
            writer.start(
                QStringLiteral(USERDEFAULTS_TOOL), { file, "loop", "int", "frequency", "1000000" });
            QVERIFY(writer.waitForStarted());
            QTest::qWait(int(random.bounded(20, 120)));
            if (writer.state() == QProcess::Running) {
                ::kill(pid_t(writer.processId()), SIGKILL);
                ++killedMidway;
            }
            writer.waitForFinished();
            UserDefaults store(file);
            const qint32 value = store.integerForKey(QStringLiteral("frequency"));
            QVERIFY2(value >= 1 && value <= 1000000, qPrintable(QString::number(value)));
            QVERIFY2(!QFile::exists(file + QStringLiteral(".unreadable")),
                "the file had to be set aside");
        }
        QVERIFY(killedMidway > 30);
    }

    void damagedOrUnreadableFilesReadAsEmpty_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: the path is a folder, not a file
        QByteArray garbage(8192, '\0');
        QRandomGenerator random(7);
        for (char &c : garbage)
            c = char(random.bounded(256));
        QTest::newRow("binary garbage") << garbage;
        QTest::newRow("truncated mid-value") << QByteArray("[General]\nuser=Jo An");
        QTest::newRow("truncated mid-key") << QByteArray("[General]\nfreq");
        QTest::newRow("a folder in its place") << QByteArray();
    }
    void damagedOrUnreadableFilesReadAsEmpty()
    {
        QFETCH(QByteArray, content);
        const QString file = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        if (content.isEmpty()) {
            QVERIFY(QDir().mkpath(file));
        } else {
            QVERIFY(writeFile(file, content));
        }
        UserDefaults store(file);
        QCOMPARE(store.integerForKey(QStringLiteral("frequency")), 0);
        QVERIFY(!store.boolForKey(QStringLiteral("validated")));
        QCOMPARE(store.floatForKey(QStringLiteral("hue")), 0.0f);
        const QString user = store.stringForKey(QStringLiteral("user"));
        QVERIFY(user.isNull() || user == QStringLiteral("Jo An")); // a cut file keeps its start
        store.setInteger(3, QStringLiteral("frequency"));
        QVERIFY(store.synchronize());
        QCOMPARE(UserDefaults(file).integerForKey(QStringLiteral("frequency")), 3);
    }

    // A file the user may not read (left by a program run as root, say) is kept aside like a
    // damaged one, and the program starts from absent values. Root reads every file, so a run
    // as root meets it as the user nobody.
    void fileTheUserCannotReadIsKeptAside()
    {
        QTemporaryDir top;
        QVERIFY(top.isValid());
        const bool root = ::geteuid() == 0;
        constexpr uid_t nobody = 65534;
        const QString folder = top.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/Peregrix.conf");
        const QByteArray content = "[General]\nfrequency=4\n";
        QVERIFY(writeFile(file, content));
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0) == 0);
        if (root) {
            QVERIFY(QFile::setPermissions(top.path(),
                QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
            QVERIFY(::chown(QFile::encodeName(folder).constData(), nobody, nobody) == 0);
        }
        const auto tool = [root](const QStringList &arguments) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            if (root)
                environment.insert(
                    QStringLiteral("USERDEFAULTS_TOOL_UID"), QString::number(nobody));
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(USERDEFAULTS_TOOL), arguments);
            process.waitForFinished();
            return std::pair(process.exitCode(), process.readAllStandardOutput());
        };

        QCOMPARE(tool({ file, "read", "int", "frequency" }), std::pair(0, QByteArray("0")));
        QCOMPARE(tool({ file, "write", "int", "frequency", "3" }).first, 0);
        QCOMPARE(tool({ file, "read", "int", "frequency" }), std::pair(0, QByteArray("3")));
        if (root) { // only root can look at what was kept
            QFile kept(file + QStringLiteral(".unreadable"));
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), content);
        }
    }
};

PEREGRIX_TEST_MAIN(TestPreferencesFaults)
#include "tst_PreferencesFaults.moc"
