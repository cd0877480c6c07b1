// UserDefaults: the application's typed, persistent preferences store.
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>

#include <cfloat>
#include <cmath>

// Every value is kept as text, so the file stays readable and a value written as one type reads
// back the same whatever QVariant would have made of it.

UserDefaults &UserDefaults::standardUserDefaults()
{
    static UserDefaults store(defaultPath());
    return store;
}

QString UserDefaults::defaultPath()
{
    const QString name = QCoreApplication::applicationName();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + name + QLatin1Char('/') + name + QStringLiteral(".conf");
}

namespace {

// We only ever write UTF-8 text; NUL bytes or broken UTF-8 mean the file was damaged.
bool isDamaged(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return false;
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray content = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(content);
    return decoder.hasError() || text.contains(QChar(0));
}

} // namespace

UserDefaults::UserDefaults(const QString &path)
{
    if (isDamaged(path))
        setAside(path);
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (m_settings->status() != QSettings::NoError) {
        m_settings.reset();
        setAside(path);
        m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
}

UserDefaults::~UserDefaults() = default;

QString UserDefaults::path() const
{
    return m_settings->fileName();
}

// A file we cannot read or parse is moved out of the way rather than overwritten, so that
// nothing a person might still recover is destroyed.
void UserDefaults::setAside(const QString &path)
{
    const QString aside = path + QStringLiteral(".unreadable");
    QFile::remove(aside);
    qWarning(
        "Preferences file %s is damaged; it is kept as %s", qPrintable(path), qPrintable(aside));
    QFile::rename(path, aside);
}

QString UserDefaults::storedText(const QString &key, bool *present) const
{
    const QVariant value = m_settings->value(key);
    *present = value.isValid();
    if (!*present)
        return {};
    // A hand-edited line with an unquoted comma reads back as a list.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

// A value that is already stored is not written again, so that synchronize() does not rewrite
// and sync the file for nothing (the tracking screen stores the device id at every start).
void UserDefaults::setStoredText(const QString &key, const QString &text)
{
    const QVariant stored = m_settings->value(key);
    if (stored.metaType().id() == QMetaType::QString && stored.toString() == text)
        return;
    m_settings->setValue(key, text);
    m_written.insert(key);
}

QString UserDefaults::stringForKey(const QString &key) const
{
    bool present = false;
    QString text = storedText(key, &present);
    if (present && text.isNull())
        return QStringLiteral(""); // stored empty, which is not the same as absent
    return text;
}

qint32 UserDefaults::integerForKey(const QString &key) const
{
    bool present = false;
    bool ok = false;
    const qint32 value = storedText(key, &present).trimmed().toInt(&ok);
    return ok ? value : 0;
}

bool UserDefaults::boolForKey(const QString &key) const
{
    bool present = false;
    const QString text = storedText(key, &present).trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    return ok && number != 0;
}

float UserDefaults::floatForKey(const QString &key) const
{
    bool present = false;
    bool ok = false;
    // Read as a double: the nine-digit text of the largest float lies just above it.
    const double value = QLocale::c().toDouble(storedText(key, &present).trimmed(), &ok);
    if (!ok)
        return std::isinf(value) ? float(value) : 0.0f;
    if (std::isfinite(value) && std::fabs(value) > double(FLT_MAX))
        return std::copysign(FLT_MAX, float(value > 0 ? 1 : -1));
    return float(value);
}

void UserDefaults::setString(const QString &value, const QString &key)
{
    setStoredText(key, value.isNull() ? QStringLiteral("") : value);
}

void UserDefaults::setInteger(qint32 value, const QString &key)
{
    setStoredText(key, QString::number(value));
}

void UserDefaults::setBool(bool value, const QString &key)
{
    setStoredText(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

void UserDefaults::setFloat(float value, const QString &key)
{
    // Nine significant digits always read back as the same 32-bit float.
    setStoredText(key, QLocale::c().toString(double(value), 'g', 9));
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    m_settings->remove(key);
    m_written.remove(key);
}

bool UserDefaults::synchronize()
{
    const QString path = m_settings->fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_settings->sync();
    if (m_settings->status() == QSettings::FormatError)
        startAfreshKeepingWrites();
    const bool ok = m_settings->status() == QSettings::NoError;
    if (!ok)
        qWarning("Preferences could not be written to %s", qPrintable(path));
    return ok;
}

// The file on disk turned out to be unparsable only when it was read back for writing. Keep
// it aside and write a new one from what this process has set.
void UserDefaults::startAfreshKeepingWrites()
{
    const QString path = m_settings->fileName();
    QHash<QString, QVariant> kept;
    for (const QString &key : std::as_const(m_written))
        kept.insert(key, m_settings->value(key));
    m_settings.reset();
    setAside(path);
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    for (auto it = kept.cbegin(); it != kept.cend(); ++it)
        m_settings->setValue(it.key(), it.value());
    m_settings->sync();
}
