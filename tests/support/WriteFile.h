// writeFile: a file made or replaced with exactly this content; false when it could not be.
#pragma once

#include <QFile>

[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
