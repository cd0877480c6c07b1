// Alert: a modal message with one "OK" button that returns to the caller at once.
#include "Alert.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QWidget *alertParent()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && !qobject_cast<QMessageBox *>(window))
            return window;
    }
    return nullptr;
}

} // namespace

QMessageBox *Alert::show(const QString &title, const QString &message)
{
    auto *box
        = new QMessageBox(QMessageBox::NoIcon, title, message, QMessageBox::Ok, alertParent());
    box->setObjectName(QStringLiteral("alert"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText); // server messages are shown as text, never as markup
    box->open();
    return box;
}
