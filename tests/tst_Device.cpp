// The device identifier: stable, 40 hex digits, never the machine id itself.
#include "TestEnvironment.h"
#include "WriteFile.h"

#include "platform/Device.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool isFortyHex(const QString &id)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{40}$"));
    return pattern.match(id).hasMatch();
}

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void derivedFromTheMachineIdWithoutRevealingIt()
    {
        const QString machineId = m_dir.filePath("machine-id");
        const QByteArray raw = "0123456789abcdef0123456789abcdef";
        QVERIFY(writeFile(machineId, raw + "\n"));
        const QString id = Device::identifierFrom(machineId, m_dir.filePath("kept"));
        // Servers know a device by its identifier: the same machine id gives the same one in
        // every version of the program.
        QCOMPARE(id, QStringLiteral("c0b3e779acd817d48dc14462d92dcb4c870dba17"));
        QVERIFY(!id.contains(QString::fromLatin1(raw)));
        QVERIFY(!id.contains(QString::fromLatin1(raw.left(16))));
        QCOMPARE(Device::identifierFrom(machineId, m_dir.filePath("kept")), id);
        QVERIFY(!QFile::exists(m_dir.filePath("kept")));

        QVERIFY(writeFile(machineId, "fedcba9876543210fedcba9876543210\n"));
        QVERIFY(Device::identifierFrom(machineId, m_dir.filePath("kept")) != id);
    }

    void randomIdIsKeptWhenThereIsNoMachineId()
    {
        const QString missing = m_dir.filePath("no-such-file");
        const QString kept = m_dir.filePath("data/Peregrix/device-id");
        const QString first = Device::identifierFrom(missing, kept);
        QVERIFY(isFortyHex(first));
        QVERIFY(QFile::exists(kept));
        QCOMPARE(Device::identifierFrom(missing, kept), first);

        const QString otherKept = m_dir.filePath("other/device-id");
        QVERIFY(Device::identifierFrom(missing, otherKept) != first);
    }

    void theDeviceAnswersConsistently()
    {
        const QString id = Device::uniqueIdentifier();
        QVERIFY(isFortyHex(id));
        QCOMPARE(Device::uniqueIdentifier(), id);
        QVERIFY(Device::respondsToIsMultitaskingSupported());
    }
};

PEREGRIX_TEST_MAIN(TestDevice)
#include "tst_Device.moc"
