// FittedText: a label's text shown whole within the label's width.
#include "FittedText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

namespace {

constexpr char ownFont[] = "fittedTextOwnFont";
constexpr int smallestPixels = 9;

} // namespace

void FittedText::setText(QLabel *label, const QString &text)
{
    if (!label->property(ownFont).isValid())
        label->setProperty(ownFont, label->font());
    QFont font = label->property(ownFont).value<QFont>();
    if (font.pixelSize() <= 0)
        font.setPixelSize(QFontInfo(font).pixelSize());
    const int room = label->contentsRect().width();
    const int floor = std::max(smallestPixels, font.pixelSize() * 2 / 3);
    while (font.pixelSize() > floor && QFontMetrics(font).horizontalAdvance(text) > room)
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
    label->setText(QFontMetrics(font).elidedText(text, Qt::ElideMiddle, room));
}
