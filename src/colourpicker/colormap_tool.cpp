// colormap_tool: draws the colour matrix picture at build time, one pixel per point of the
// matrix, from the same mapping the picker's touches use.
//   colormap_tool OUTPUT.png
#include "ColorMatrix.h"

#include "platform/Color.h"

#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: colormap_tool OUTPUT.png\n");
        return 2;
    }
    const QRectF frame = ColorMatrix::frame;
    QImage picture(int(frame.width()), int(frame.height()), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            // A pointer reports the top-left corner of the pixel it presses on, so that is the
            // point whose colour the pixel shows.
            const QPointF point(frame.left() + x, frame.top() + y);
            const auto [hue, saturation] = ColorMatrix::hueSaturationAt(point);
            const Color colour = colorWithHue(hue, saturation, ColorMatrix::pictureBrightness);
            picture.setPixel(x, y, colour.toQColor().rgb());
        }
    }
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "colormap_tool: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
