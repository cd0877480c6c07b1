// outlet: a screen's control, found by the object name its form gives it. The forms are private
// to their screens; the names are what a test may rely on.
#pragma once

#include <QWidget>

template<class Control> Control *outlet(const QWidget *view, const char *name)
{
    auto *control = view->findChild<Control *>(QLatin1String(name));
    if (!control)
        qFatal("The form has no %s named %s", Control::staticMetaObject.className(), name);
    return control;
}
