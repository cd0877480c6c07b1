// ColorMatrix: where the colour matrix lies on the picker page and which hue and saturation each
// of its points stands for. The touches and the build-time drawing of its picture share it, so
// the picture always shows what a touch selects.
#pragma once

#include <QPointF>
#include <QRectF>

namespace ColorMatrix {

// In the picker view's own coordinates.
inline constexpr QRectF frame { 11.0, 130.0, 298.0, 217.0 };

// The brightness the picture is drawn with; a touch uses the picker's current brightness.
inline constexpr float pictureBrightness = 1.0f;

struct HueSaturation
{
    float hue;
    float saturation;
};

// Hue runs across the matrix from 0 towards 1. Saturation is 1 at y = 170, not at the top edge,
// so it runs from about 1.156 at the top to about 0.311 at the bottom; nothing clamps either.
[[nodiscard]] HueSaturation hueSaturationAt(QPointF p);

// Left and top edges inside, right and bottom edges outside, so that neighbouring areas never
// both claim a point.
[[nodiscard]] bool rectContainsPoint(const QRectF &rect, QPointF p);

} // namespace ColorMatrix
