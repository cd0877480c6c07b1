// ChildRun: the environment in which a benchmark runs its measured children: offscreen, with a
// home folder of their own, so that they never touch the user's preferences.
#pragma once

#include <QProcessEnvironment>
#include <QString>

inline QProcessEnvironment childEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    return env;
}
