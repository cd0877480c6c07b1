// textContrast: how well a text in a picture stands out from what it is drawn on, as the WCAG
// contrast ratio (1 to 21; 4.5 is the bar for text of ordinary size).
#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cmath>

inline double relativeLuminance(QRgb colour)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour))
        + 0.0722 * linear(qBlue(colour));
}

inline double contrastRatio(QRgb a, QRgb b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The background is the commonest colour of the region; the text, the pixel that stands out
// from it most: the cores of a glyph's stems take the text's full colour, its edges only part.
// A region with nothing drawn in it gives 1.
inline double textContrast(const QImage &picture, const QRect &region)
{
    const QRect inside = region & picture.rect();
    QHash<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[picture.pixel(x, y) | 0xff000000];
    }
    if (counts.isEmpty())
        return 1.0;
    const QRgb background = std::max_element(
        counts.keyValueBegin(), counts.keyValueEnd(), [](const auto &a, const auto &b) {
            return a.second < b.second;
        })->first;
    double best = 1.0;
    for (auto it = counts.keyBegin(); it != counts.keyEnd(); ++it)
        best = std::max(best, contrastRatio(*it, background));
    return best;
}
