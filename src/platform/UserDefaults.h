// UserDefaults: the application's typed, persistent preferences store.
#pragma once

#include <QSet>
#include <QString>

#include <memory>

class QSettings;

class UserDefaults
{
public:
    // The one store of the process, at $XDG_CONFIG_HOME/NAME/NAME.conf, NAME being the name the
    // program gives itself (QCoreApplication::applicationName) before it first asks for it.
    static UserDefaults &standardUserDefaults();

    // A store on an explicit file; the process-wide store uses defaultPath().
    explicit UserDefaults(const QString &path);
    ~UserDefaults();
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    [[nodiscard]] static QString defaultPath();
    [[nodiscard]] QString path() const;

    // Keys never written read as a null string, 0, false and 0.0f.
    [[nodiscard]] QString stringForKey(const QString &key) const;
    [[nodiscard]] qint32 integerForKey(const QString &key) const;
    [[nodiscard]] bool boolForKey(const QString &key) const;
    [[nodiscard]] float floatForKey(const QString &key) const;

    void setString(const QString &value, const QString &key);
    void setInteger(qint32 value, const QString &key);
    void setBool(bool value, const QString &key);
    void setFloat(float value, const QString &key);
    void removeObjectForKey(const QString &key);

    // Writes the store to disk atomically; false when that failed (the values stay in memory).
    bool synchronize();

private:
    [[nodiscard]] QString storedText(const QString &key, bool *present) const;
    void setStoredText(const QString &key, const QString &text);
    static void setAside(const QString &path);
    void startAfreshKeepingWrites();

    std::unique_ptr<QSettings> m_settings;
    QSet<QString> m_written; // keys set by this process, kept if the file must be replaced
};
