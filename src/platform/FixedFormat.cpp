// formatFixed: a number as C's printf "%W.Pf" writes it, whatever the user's locale.
#include "FixedFormat.h"

#include <array>
#include <charconv>

QString formatFixed(double value, int width, int precision)
{
    // Room for the 309 integer digits of the largest double, a sign, a point and the decimals.
    std::array<char, 320> digits {};
    const std::to_chars_result written = std::to_chars(
        digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed, precision);
    if (written.ec != std::errc())
        return {};
    const QString text = QString::fromLatin1(digits.data(), written.ptr - digits.data());
    return text.rightJustified(width, QLatin1Char(' '));
}
