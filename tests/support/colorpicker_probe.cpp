// colorpicker_probe: opens the colour picker page in a process of its own, the way the next run
// of the program would, and prints what the page shows, one "name value" line each.
//   colorpicker_probe          the page as loaded, after the settings side's theme post
//   colorpicker_probe bar X    the same, then a touch on the brightness bar at x = X
#include "TestEnvironment.h"

#include "colourpicker/ColorPickerView.h"
#include "colourpicker/ColorPickerViewController.h"

#include "shared/ThemeColour.h"

#include <QApplication>
#include <QLabel>
#include <QTextStream>

namespace {

QString point(QPoint p)
{
    return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
}

QString number(float value)
{
    return QString::number(double(value), 'g', 9);
}

} // namespace

int main(int argc, char **argv)
{
    TestEnvironment::useTestStore();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();

    ColorPickerViewController page;
    QWidget *view = page.view();
    ThemeColour::post();
    view->grab(); // the first drawing, which places the brightness marker

    ColorPickerView *picker = page.pickerView();
    const ColorPickerView::Outlets &o = picker->outlets();
    if (args.size() == 3 && args[1] == QLatin1String("bar"))
        picker->dispatchTouchEvent(QPointF(args[2].toDouble(), 404.0));

    QTextStream out(stdout);
    out << "hue " << number(picker->currentHue()) << '\n'
        << "sat " << number(picker->currentSaturation()) << '\n'
        << "bright " << number(picker->currentBrightness()) << '\n'
        << "marker " << point(o.brightnessBar->geometry().center()) << '\n'
        << "crosshair " << point(o.crossHairs->geometry().center()) << '\n'
        << "page " << ThemeColour::backgroundOf(picker).name() << '\n'
        << "swatch " << ThemeColour::backgroundOf(o.showColor).name() << '\n'
        << "labels "
        << QStringList { o.colorInHex->text(), o.Hcoords->text(), o.Scoords->text(),
               o.Lcoords->text(), o.Rcoords->text(), o.Gcoords->text(), o.Bcoords->text() }
               .join(QLatin1Char('|'))
        << '\n';
    return 0;
}
