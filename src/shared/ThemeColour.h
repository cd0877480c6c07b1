// ThemeColour: the stored theme colour and how the screens follow it.
#pragma once

#include <QColor>
#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace ThemeColour {

// "RRGGBB" in either case. Each pair is read as far as it holds hex digits ("5Z" reads as 5; a
// pair that starts with none reads as 0). Null or any length but 6 gives yellow.
[[nodiscard]] QColor fromStoredText(const QString &text);

// Registers a screen's backgroundColorSet handler for "BGColourSet", for as long as the screen
// lives.
void observe(const QObject *screen, std::function<void()> backgroundColorSet);
// Asks every themed screen to repaint from the stored colour.
void post();

// Paints a view's or a button's background; the text colours stay as they are.
void paint(QWidget *widget, const QColor &colour);
void paintButton(QWidget *button, const QColor &colour);
[[nodiscard]] QColor backgroundOf(const QWidget *widget);

} // namespace ThemeColour
