// Color: a colour as four float components that may lie outside 0..1, and the hexcone HSV
// constructor that produces them.
#include "Color.h"

#include <cmath>

int Color::byteOf(float component)
{
    // Written so that NaN fails the first test and ends up as 0.
    const float clamped = component > 0.0f ? std::fmin(component, 1.0f) : 0.0f;
    return int(clamped * 255.0f);
}

QColor Color::toQColor() const
{
    return QColor(byteOf(red), byteOf(green), byteOf(blue), byteOf(alpha));
}

Color colorWithHue(float hue, float saturation, float brightness)
{
    double h = std::isfinite(hue) ? double(hue) - std::floor(double(hue)) : 0.0;
    h *= 6.0;
    // h - floor(h) can round up to exactly 1 for tiny negative hues; 6 is the same sector as 0.
    const int sector = int(h) % 6;
    const double f = h - std::floor(h);
    const double s = saturation;
    const double v = brightness;
    const double p = v * (1.0 - s);
    const double q = v * (1.0 - s * f);
    const double t = v * (1.0 - s * (1.0 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 0:
        r = v, g = t, b = p;
        break;
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    default:
        r = v, g = p, b = q;
        break;
    }
    return Color { float(r), float(g), float(b), 1.0f };
}
