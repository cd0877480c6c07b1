// FittedText: a label's text shown whole within the label's width, as a phone's label that
// adjusts its font size to fit does.
#pragma once

#include <QString>

class QLabel;

namespace FittedText {

// Shows the text in the label's own font, or in a smaller one down to two thirds of it (not
// under 9 pixels) where that is too wide; only a text too wide even then loses its middle, so
// that both of its ends still show. The next text starts again from the label's own font.
void setText(QLabel *label, const QString &text);

} // namespace FittedText
