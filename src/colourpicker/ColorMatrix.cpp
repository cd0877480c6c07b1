// ColorMatrix: where the colour matrix lies on the picker page and which hue and saturation each
// of its points stands for.
#include "ColorMatrix.h"

ColorMatrix::HueSaturation ColorMatrix::hueSaturationAt(QPointF p)
{
    const double hue = (p.x() - 11.0) / 298.0;
    const double saturation = 1.0 - (p.y() - 170.0) / 257.0;
    return { float(hue), float(saturation) };
}

bool ColorMatrix::rectContainsPoint(const QRectF &rect, QPointF p)
{
    return p.x() >= rect.left() && p.x() < rect.left() + rect.width() && p.y() >= rect.top()
        && p.y() < rect.top() + rect.height();
}
