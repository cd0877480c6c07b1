// ThemeColour: the stored theme colour and how the screens follow it.
#include "ThemeColour.h"

#include "NotificationNames.h"

#include "platform/NotificationCenter.h"

#include <QWidget>

namespace {

unsigned hexPair(QStringView pair)
{
    unsigned value = 0;
    for (const QChar c : pair) {
        const int digit = QStringView(u"0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            break;
        value = value * 16 + unsigned(digit);
    }
    return value;
}

} // namespace

QColor ThemeColour::fromStoredText(const QString &text)
{
    if (text.isNull() || text.size() != 6)
        return QColor::fromRgbF(1.0f, 1.0f, 0.0f, 1.0f);
    const QStringView s(text);
    const float red = float(hexPair(s.mid(0, 2))) / 255.0f;
    const float green = float(hexPair(s.mid(2, 2))) / 255.0f;
    const float blue = float(hexPair(s.mid(4, 2))) / 255.0f;
    return QColor::fromRgbF(red, green, blue, 1.0f);
}

void ThemeColour::observe(const QObject *screen, std::function<void()> backgroundColorSet)
{
    NotificationCenter::defaultCenter().addObserver(NotificationNames::BGColourSet, screen,
        [handler = std::move(backgroundColorSet)](const Notification &) { handler(); });
}

void ThemeColour::post()
{
    NotificationCenter::defaultCenter().postNotificationName(NotificationNames::BGColourSet);
}

void ThemeColour::paint(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void ThemeColour::paintButton(QWidget *button, const QColor &colour)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    palette.setColor(QPalette::Window, colour);
    button->setPalette(palette);
}

QColor ThemeColour::backgroundOf(const QWidget *widget)
{
    return widget->palette().color(QPalette::Window);
}
