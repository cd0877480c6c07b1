// Alert: a modal message with one "OK" button that returns to the caller at once.
#pragma once

#include <QString>

class QMessageBox;

namespace Alert {

// Opens the alert over the active window without waiting for the user; the box deletes
// itself when closed. The box is returned so that callers and tests can find it.
QMessageBox *show(const QString &title, const QString &message);

} // namespace Alert
