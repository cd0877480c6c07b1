// saveScreenshot: a picture of a screen, kept as NAME.png in the build folder's screenshots/
// for a person to look at.
#pragma once

#include <QDir>
#include <QImage>
#include <QWidget>

inline bool saveScreenshot(const QImage &shot, const QString &name)
{
    const QString dir = QStringLiteral(QT_TESTCASE_BUILDDIR "/screenshots");
    return QDir().mkpath(dir) && shot.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

inline bool saveScreenshot(QWidget *view, const QString &name)
{
    return saveScreenshot(view->grab().toImage(), name);
}
