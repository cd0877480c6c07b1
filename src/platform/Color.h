// Color: a colour as four float components that may lie outside 0..1, and the hexcone HSV
// constructor that produces them.
#pragma once

#include <QColor>

struct Color
{
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 0.0f;

    // A component as one byte: clamped to 0..1 (NaN counts as 0), times 255 in single
    // precision, truncated toward zero. Hex texts and everything drawn go through this.
    [[nodiscard]] static int byteOf(float component);

    // The colour as drawn: each component through byteOf.
    [[nodiscard]] QColor toQColor() const;

    friend bool operator==(const Color &, const Color &) = default;
};

// The hexcone HSV-to-RGB conversion, with alpha 1. The hue is a fraction of the colour circle
// and wraps around it (a non-finite hue counts as 0). Saturation and brightness are not
// clamped: a saturation above 1 drives the smallest component below 0 and a brightness above
// 1 lifts the largest above 1, which is what the picker's mappings produce at their edges.
[[nodiscard]] Color colorWithHue(float hue, float saturation, float brightness);
