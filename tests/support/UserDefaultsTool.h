// userDefaultsTool: runs userdefaults_tool, a second process that reads or writes the store as
// the next run of the program would, and gives what it printed ("<tool failed>" when it failed).
#pragma once

#include <QProcess>
#include <QStringList>

inline QString userDefaultsTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(USERDEFAULTS_TOOL), arguments);
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        return QStringLiteral("<tool failed>");
    return QString::fromUtf8(tool.readAllStandardOutput());
}
