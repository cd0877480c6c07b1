// Device: facts about the device the program runs on.
#include "Device.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The hash's key: the program's name with a fixed suffix, so that each program derives
// identifiers of its own from the same machine id, and a program's identifiers never change.
QByteArray applicationKey()
{
    return QCoreApplication::applicationName().toUtf8() + " device identifier v1";
}

QByteArray readFirstLine(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readLine(256).trimmed();
}

QByteArray keptRandomSeed(const QString &file)
{
    QByteArray seed = readFirstLine(file);
    if (seed.size() == 32)
        return seed;
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    seed = QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(seed + '\n');
        out.commit();
    }
    return seed;
}

} // namespace

QString Device::identifierFrom(const QString &machineIdFile, const QString &fallbackFile)
{
    QByteArray seed = readFirstLine(machineIdFile);
    if (seed.isEmpty())
        seed = keptRandomSeed(fallbackFile);
    const QByteArray mac
        = QMessageAuthenticationCode::hash(seed, applicationKey(), QCryptographicHash::Sha1);
    return QString::fromLatin1(mac.toHex());
}

QString Device::uniqueIdentifier()
{
    static const QString identifier = [] {
        QString machineId = QStringLiteral("/etc/machine-id");
        if (!QFileInfo::exists(machineId))
            machineId = QStringLiteral("/var/lib/dbus/machine-id");
        const QString kept = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral("/device-id");
        return identifierFrom(machineId, kept);
    }();
    return identifier;
}

bool Device::respondsToIsMultitaskingSupported()
{
    return true;
}
