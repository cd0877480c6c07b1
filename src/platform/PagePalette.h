// PagePalette: the colours the program's own screens are drawn in, whatever the desktop's.
#pragma once

#include <QPalette>

namespace PagePalette {

// Black text on white fields and light grey controls, in every colour group. The screens' forms
// were laid out for it: their labels lie on the theme colour, and a desktop's dark palette would
// turn them light on yellow. The background is left out: a screen shows what it lies on until
// it paints its own. Dialogs of the system's own keep the desktop's palette.
[[nodiscard]] QPalette palette();

} // namespace PagePalette
