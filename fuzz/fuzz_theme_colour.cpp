// Fuzz target: the theme colour text as the preferences file holds it.
#include "FuzzInput.h"

#include "shared/ThemeColour.h"

#include <algorithm>

namespace {

bool isAsciiHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A pair read as far as it holds plain ASCII hex digits.
int leadingHexValue(QStringView pair)
{
    qsizetype digits = 0;
    while (digits < pair.size() && isAsciiHex(pair[digits]))
        ++digits;
    return digits == 0 ? 0 : pair.first(digits).toInt(nullptr, 16);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::optional<QString> text = FuzzInput::text(data, size);
    if (!text)
        return -1;
    const QColor colour = ThemeColour::fromStoredText(*text);

    FUZZ_CHECK(colour.isValid());
    FUZZ_CHECK(colour.alphaF() == 1.0f);
    const QColor rgb = colour.toRgb();
    if (text->size() != 6) {
        FUZZ_CHECK(rgb.rgba() == QColor(255, 255, 0).rgba());
        return 0;
    }
    const QStringView s(*text);
    FUZZ_CHECK(rgb.red() == leadingHexValue(s.mid(0, 2)));
    FUZZ_CHECK(rgb.green() == leadingHexValue(s.mid(2, 2)));
    FUZZ_CHECK(rgb.blue() == leadingHexValue(s.mid(4, 2)));
    // Six plain hex digits are read as Qt reads "#RRGGBB".
    if (std::all_of(s.begin(), s.end(), isAsciiHex))
        FUZZ_CHECK(rgb.rgba() == QColor::fromString(QLatin1Char('#') + *text).rgba());
    return 0;
}
