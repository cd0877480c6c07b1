// openAlerts: the alerts the program has open, as a person would see them on screen.
#pragma once

#include <QApplication>
#include <QMessageBox>

inline QList<QMessageBox *> openAlerts()
{
    QList<QMessageBox *> boxes;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    }
    return boxes;
}
