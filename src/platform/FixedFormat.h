// formatFixed: a number as C's printf "%W.Pf" writes it, whatever the user's locale.
#pragma once

#include <QString>

// The same characters as printf("%*.*f", width, precision, value) in the C locale: an exact
// decimal tie rounds to even (0.25 with one decimal is "0.2"), the point is always ".", and a
// text shorter than width is padded with spaces on the left. QString::asprintf differs on ties,
// and printf itself follows the locale that QApplication sets from the environment.
[[nodiscard]] QString formatFixed(double value, int width, int precision);
