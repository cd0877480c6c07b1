// GlobalData: the process-wide service object (server URL, version, alerts, reachability,
// theme colour).
#pragma once

#include <QColor>
#include <QString>

class GlobalData
{
public:
    // The one instance, made on first use with the built-in server URL.
    static GlobalData *sharedGlobalData();
    // Makes the instance if there is none yet; once there is one, answers null.
    static GlobalData *allocWithZone();

    GlobalData(const GlobalData &) = delete;
    GlobalData &operator=(const GlobalData &) = delete;
    // A copy of the instance is the instance.
    GlobalData *copyWithZone() { return this; }

    // The tracking server's base URL; it ends in "/".
    [[nodiscard]] QString url() const { return m_url; }
    void setUrl(const QString &url) { m_url = url; }
    [[nodiscard]] static QString defaultUrl();

    [[nodiscard]] QString ver() const { return QStringLiteral("v2.5"); }

    // A modal alert with one "OK" button; returns at once.
    void _showAlert(const QString &message);
    void _showAlert(const QString &message, const QString &title);

    // Whether the network can be reached now, asked afresh on every call.
    [[nodiscard]] bool connectedToNetwork() const;

    // The theme colour from the "bg" preference, read on every call.
    [[nodiscard]] QColor getBackgroundColour() const;

private:
    GlobalData();

    QString m_url;
};
