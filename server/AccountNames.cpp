// AccountNames: which user names and device identifiers the server accepts.
#include "AccountNames.h"

#include <QList>
#include <QStringView>

namespace {

bool isNameCharacter(char32_t c)
{
    return QChar::isLetter(c) || QChar::isDigit(c) || c == U' ' || c == U'.' || c == U'_'
        || c == U'-';
}

} // namespace

bool AccountNames::isAcceptableUserName(const QString &name)
{
    int count = 0;
    for (const char32_t c : QStringView(name).toUcs4()) {
        if (!isNameCharacter(c))
            return false;
        ++count;
    }
    // An unpaired surrogate comes out of toUcs4() as U+FFFD, which is no letter.
    return count >= 3 && count <= 20;
}

// Case folding can undo a compatibility normalisation (and the reverse), so the name is
// normalised on both sides of it.
QString AccountNames::folded(const QString &name)
{
    return name.normalized(QString::NormalizationForm_KC)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_KC);
}

bool AccountNames::isTestUser(const QString &name)
{
    return folded(name) == QLatin1String("test");
}

bool AccountNames::isAcceptableDevice(const QString &device)
{
    if (device.isEmpty() || device.size() > 128)
        return false;
    for (const QChar c : device) {
        if (c.category() == QChar::Other_Control || c.isSurrogate())
            return false;
    }
    return true;
}
