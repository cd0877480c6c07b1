// The colour picker driven as a user drives it: touches and drags in the matrix and on the bar,
// several fingers at once, the labels, the markers' glide, the bar's gradient and the matrix
// picture built into the program.
#include "ColourPickerPage.h"
#include "TestEnvironment.h"

#include "colourpicker/ColorMatrix.h"
#include "colourpicker/ColorPickerView.h"
#include "colourpicker/ColorPickerViewController.h"
#include "colourpicker/GradientView.h"

#include <QApplication>
#include <QLabel>
#include <QPointingDevice>
#include <QPropertyAnimation>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

// Everything a touch can change that a person can see or the page can store.
struct Shown
{
    float hue, saturation, brightness;
    Color currentColor, barColour;
    QString hex;
    QStringList labels; // H, S, L, R, G, B
    QColor swatch;
    QPoint crossHairs, brightnessBar;

    bool operator==(const Shown &) const = default;
};

const QColor yellow(255, 255, 0);

} // namespace

char *toString(const Color &c)
{
    return qstrdup(QString::asprintf("Color(%.9g, %.9g, %.9g, %.9g)", double(c.red),
        double(c.green), double(c.blue), double(c.alpha))
                       .toUtf8()
                       .constData());
}

class TestColorPickerView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ColourPickerPage> page;
    QPointingDevice *touchScreen = nullptr;

    // The page on a first start (0.5 for each value).
    ColorPickerView &open()
    {
        page = std::make_unique<ColourPickerPage>(ColourPickerPage::Alone);
        return picker();
    }
    ColorPickerView &picker() { return page->picker(); }
    const ColorPickerView::Outlets &out() { return page->outlets(); }

    Shown shown()
    {
        ColorPickerView &p = picker();
        const auto &o = p.outlets();
        return { p.currentHue(), p.currentSaturation(), p.currentBrightness(), p.currentColor(),
            p.gradientView()->theColor(), o.colorInHex->text(),
            { o.Hcoords->text(), o.Scoords->text(), o.Lcoords->text(), o.Rcoords->text(),
                o.Gcoords->text(), o.Bcoords->text() },
            swatch(), o.crossHairs->geometry().center(), o.brightnessBar->geometry().center() };
    }
    QColor swatch() { return out().showColor->palette().color(QPalette::Window); }

private Q_SLOTS:
    void initTestCase()
    {
        touchScreen = QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
    }

    void cleanupTestCase() { delete touchScreen; }

    void cleanup() { page.reset(); }

    void matrixTouches_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<float>("hue");
        QTest::addColumn<float>("saturation");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("hex");
        // At the first start's brightness of 0.5.
        QTest::newRow("top-left corner: saturation above 1")
            << QPointF(11, 130) << 0.0f << 1.1556420f
            << QStringList { "0", "294", "127", "127", "-19", "-19" } << "#7F0000";
        QTest::newRow("full saturation at y = 170")
            << QPointF(160, 170) << 0.5f << 1.0f
            << QStringList { "127", "255", "127", "0", "127", "127" } << "#007F7F";
        QTest::newRow("last point inside")
            << QPointF(308, 346) << 0.99664432f << 0.31517509f
            << QStringList { "254", "80", "127", "127", "87", "88" } << "#7F5758";
        QTest::newRow("between pixels")
            << QPointF(11.5, 300.25) << 0.0016778524f << 0.49319068f
            << QStringList { "0", "125", "127", "127", "65", "64" } << "#7F4140";
        QTest::newRow("inside the right and bottom edges")
            << QPointF(308.999, 346.999) << 0.99999666f << 0.31128794f
            << QStringList { "254", "79", "127", "127", "87", "87" } << "#7F5757";
    }
    void matrixTouches()
    {
        QFETCH(QPointF, point);
        QFETCH(float, hue);
        QFETCH(float, saturation);
        QFETCH(QStringList, labels);
        QFETCH(QString, hex);
        ColorPickerView &p = open();
        p.dispatchTouchEvent(point);
        const Shown now = shown();
        QCOMPARE(now.hue, hue);
        QCOMPARE(now.saturation, saturation);
        QCOMPARE(now.brightness, 0.5f);
        QCOMPARE(now.labels, labels);
        QCOMPARE(now.hex, hex);
        QCOMPARE(now.swatch.name(QColor::HexRgb).toUpper(), hex);
        QCOMPARE(now.currentColor, colorWithHue(hue, saturation, 0.5f));
        QCOMPARE(now.barColour, colorWithHue(hue, saturation, 0.5f));
        QCOMPARE(p.getColorHex(), hex.mid(1));
        page->settle();
        QCOMPARE(out().crossHairs->geometry().center(), point.toPoint());
    }

    void barTouches_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<float>("brightness");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("hex");
        // Hue and saturation stay at the first start's 0.5.
        QTest::newRow("middle") << QPointF(160, 404) << 0.51666665f
                                << QStringList { "127", "127", "131", "65", "131", "131" }
                                << "#418383";
        QTest::newRow("left edge, top edge: brightness above 1")
            << QPointF(10, 384) << 1.0166667f
            << QStringList { "127", "127", "259", "129", "259", "259" } << "#81FFFF";
        QTest::newRow("near the right edge: brightness stays above 0")
            << QPointF(309.9, 423.9) << 0.017000008f
            << QStringList { "127", "127", "4", "2", "4", "4" } << "#020404";
        QTest::newRow("last whole point")
            << QPointF(309, 404) << 0.020000029f << QStringList { "127", "127", "5", "2", "5", "5" }
            << "#020505";
    }
    void barTouches()
    {
        QFETCH(QPointF, point);
        QFETCH(float, brightness);
        QFETCH(QStringList, labels);
        QFETCH(QString, hex);
        ColorPickerView &p = open();
        const Shown before = shown();
        p.dispatchTouchEvent(point);
        const Shown now = shown();
        QCOMPARE(now.brightness, brightness);
        QCOMPARE(now.labels, labels);
        QCOMPARE(now.hex, hex);
        QCOMPARE(now.swatch.name(QColor::HexRgb).toUpper(), hex);
        // Neither the colour of the last matrix touch nor the gradient follows the brightness.
        QCOMPARE(now.currentColor, before.currentColor);
        QCOMPARE(now.barColour, before.barColour);
        QCOMPARE(now.barColour, (Color { 1, 1, 0, 1 }));

        // The marker glides to the touch and a redraw keeps it there.
        page->settle();
        const QPoint centre(qRound(point.x()), 404);
        QCOMPARE(out().brightnessBar->geometry().center(), centre);
        p.repaint();
        QCOMPARE(out().brightnessBar->geometry().center(), centre);
    }

    void pointsOutsideBothAreasChangeNothing_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::newRow("matrix right edge") << QPointF(309, 200);
        QTest::newRow("matrix bottom edge") << QPointF(160, 347);
        QTest::newRow("left of the matrix") << QPointF(10.99, 200);
        QTest::newRow("above the matrix") << QPointF(160, 129.99);
        QTest::newRow("strip between the areas") << QPointF(160, 365);
        QTest::newRow("strip, just above the bar") << QPointF(160, 383.99);
        QTest::newRow("bar right edge") << QPointF(310, 404);
        QTest::newRow("bar bottom edge") << QPointF(160, 424);
        QTest::newRow("left of the bar") << QPointF(9.99, 404);
        QTest::newRow("caption area") << QPointF(50, 50);
        QTest::newRow("not a number") << QPointF(std::numeric_limits<double>::quiet_NaN(), 200);
    }
    void pointsOutsideBothAreasChangeNothing()
    {
        QFETCH(QPointF, point);
        ColorPickerView &p = open();
        p.dispatchTouchEvent(QPointF(60, 250));
        p.dispatchTouchEvent(QPointF(100, 404));
        page->settle();
        const Shown before = shown();
        p.dispatchTouchEvent(point);
        page->settle();
        QCOMPARE(shown(), before);
    }

    void hexStringFromColor_data()
    {
        QTest::addColumn<float>("red");
        QTest::addColumn<float>("green");
        QTest::addColumn<float>("blue");
        QTest::addColumn<QString>("hex");
        QTest::newRow("clamped both ways") << 1.2f << -0.1f << 0.5f << "#FF007F";
        QTest::newRow("orange") << 1.0f << 0.5f << 0.0f << "#FF7F00";
        QTest::newRow("truncated, not rounded") << 0.999f << 0.0039f << 0.998f << "#FE00FE";
        QTest::newRow("white") << 1.0f << 1.0f << 1.0f << "#FFFFFF";
        QTest::newRow("upper-case digits") << 0.7f << 0.8f << 0.9f << "#B2CCE5";
        QTest::newRow("not a number is 0") << std::numeric_limits<float>::quiet_NaN() << 2.0f
                                           << -std::numeric_limits<float>::infinity() << "#00FF00";
    }
    void hexStringFromColor()
    {
        QFETCH(float, red);
        QFETCH(float, green);
        QFETCH(float, blue);
        QFETCH(QString, hex);
        QCOMPARE(ColorPickerView::hexStringFromColor(Color { red, green, blue, 0.3f }), hex);
    }

    void labelsAreNotClamped_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("half") << 0.5f << "127";
        QTest::newRow("above 1") << 1.2f << "306";
        QTest::newRow("below 0, toward zero") << -0.1f << "-25";
        QTest::newRow("far too large") << 1e30f << "2147483647";
        QTest::newRow("far too small") << -1e30f << "-2147483648";
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << "0";
    }
    void labelsAreNotClamped()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        ColorPickerView &p = open();
        p.getStringForRGB(Color { 0.0f, value, 1.0f, 1.0f });
        p.getStringForHSL(value, 0.0f, 1.0f);
        QCOMPARE(out().Rcoords->text(), QStringLiteral("0"));
        QCOMPARE(out().Gcoords->text(), text);
        QCOMPARE(out().Bcoords->text(), QStringLiteral("255"));
        QCOMPARE(out().Hcoords->text(), text);
        QCOMPARE(out().Scoords->text(), QStringLiteral("0"));
        QCOMPARE(out().Lcoords->text(), QStringLiteral("255"));
    }

    void getColorHex_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("hex");
        QTest::newRow("seven characters") << "#00FF00"
                                          << "00FF00";
        QTest::newRow("six characters come back unchanged") << "00FF00"
                                                            << "00FF00";
        QTest::newRow("seven without #: the first goes anyway") << "A00FF00"
                                                                << "00FF00";
        QTest::newRow("eight characters") << "#00FF001"
                                          << "#00FF001";
        QTest::newRow("empty") << ""
                               << "";
    }
    void getColorHex()
    {
        QFETCH(QString, label);
        QFETCH(QString, hex);
        ColorPickerView &p = open();
        out().colorInHex->setText(label);
        QCOMPARE(p.getColorHex(), hex);
    }

    void brightnessFeedsTheNextMatrixTouch()
    {
        ColorPickerView &p = open();
        p.dispatchTouchEvent(QPointF(160, 170));
        const Color afterMatrix = p.currentColor();
        QCOMPARE(afterMatrix, colorWithHue(0.5f, 1.0f, 0.5f));
        p.dispatchTouchEvent(QPointF(160, 404));
        QCOMPARE(p.currentColor(), afterMatrix);
        QCOMPARE(p.getColorShown(), colorWithHue(0.5f, 1.0f, 0.51666665f));
        p.dispatchTouchEvent(QPointF(160, 170));
        QCOMPARE(p.currentColor(), colorWithHue(0.5f, 1.0f, 0.51666665f));
        QCOMPARE(out().colorInHex->text(), QStringLiteral("#008383"));
        QCOMPARE(swatch(), QColor(0x00, 0x83, 0x83));
    }

    void severalFingersInOneEvent_data()
    {
        QTest::addColumn<QPoint>("first");
        QTest::addColumn<QPoint>("second");
        QTest::addColumn<float>("hue");
        QTest::addColumn<float>("brightness");
        QTest::addColumn<QString>("hex");
        QTest::newRow("both in the matrix: the second decides")
            << QPoint(160, 170) << QPoint(11, 130) << 0.0f << 0.5f << "#7F0000";
        QTest::newRow("matrix, then bar")
            << QPoint(160, 170) << QPoint(100, 404) << 0.5f << 0.71666664f << "#00B6B6";
        QTest::newRow("bar, then matrix: the matrix uses the new brightness")
            << QPoint(100, 404) << QPoint(160, 170) << 0.5f << 0.71666664f << "#00B6B6";
    }
    void severalFingersInOneEvent()
    {
        QFETCH(QPoint, first);
        QFETCH(QPoint, second);
        QFETCH(float, hue);
        QFETCH(float, brightness);
        QFETCH(QString, hex);
        ColorPickerView &p = open();
        QTest::touchEvent(&p, touchScreen).press(0, first, &p).press(1, second, &p);
        QCOMPARE(p.currentHue(), hue);
        QCOMPARE(p.currentBrightness(), brightness);
        QCOMPARE(out().colorInHex->text(), hex);
        QTest::touchEvent(&p, touchScreen).release(0, first, &p).release(1, second, &p);
        QCOMPARE(out().colorInHex->text(), hex); // lifting fingers changes nothing
    }

    void onlyMovedFingersCount()
    {
        ColorPickerView &p = open();
        // One sequence throughout, so that resting fingers keep their places.
        QTest::QTouchEventWidgetSequence touch = QTest::touchEvent(&p, touchScreen, false);
        touch.press(0, QPoint(160, 170), &p).press(1, QPoint(100, 404), &p).commit();
        QCOMPARE(p.currentColor(), colorWithHue(0.5f, 1.0f, 0.5f));
        QCOMPARE(p.currentBrightness(), 0.71666664f);
        // Finger 0 rests in the matrix while finger 1 moves on the bar: applying the resting
        // one again would give currentColor the bar's brightness.
        touch.stationary(0).move(1, QPoint(160, 404), &p).commit();
        QCOMPARE(p.currentBrightness(), 0.51666665f);
        QCOMPARE(p.currentColor(), colorWithHue(0.5f, 1.0f, 0.5f));
        QCOMPARE(out().colorInHex->text(), QStringLiteral("#008383"));
        touch.move(0, QPoint(11, 170), &p).stationary(1).commit();
        QCOMPARE(p.currentHue(), 0.0f);
        QCOMPARE(p.currentColor(), colorWithHue(0.0f, 1.0f, 0.51666665f));
        touch.move(0, QPoint(160, 170), &p).move(1, QPoint(10, 404), &p).commit();
        QCOMPARE(p.currentHue(), 0.5f);
        QCOMPARE(p.currentBrightness(), 1.0166667f);
        touch.release(0, QPoint(160, 170), &p).release(1, QPoint(10, 404), &p).commit();
        page->settle();
        QCOMPARE(out().crossHairs->geometry().center(), QPoint(160, 170));
        QCOMPARE(out().brightnessBar->geometry().center(), QPoint(10, 404));
    }

    void dragFromMatrixOntoBar_data()
    {
        QTest::addColumn<bool>("touch");
        QTest::newRow("pointer") << false;
        QTest::newRow("finger") << true;
    }
    void dragFromMatrixOntoBar()
    {
        QFETCH(bool, touch);
        ColorPickerView &p = open();
        auto press = [&](QPoint at) {
            if (touch)
                QTest::touchEvent(&p, touchScreen).press(0, at, &p);
            else
                QTest::mousePress(&p, Qt::LeftButton, {}, at);
        };
        auto move = [&](QPoint to) {
            if (touch)
                QTest::touchEvent(&p, touchScreen).move(0, to, &p);
            else
                QTest::mouseMove(&p, to);
        };
        press(QPoint(160, 170));
        move(QPoint(60, 250));
        QCOMPARE(out().colorInHex->text(), QStringLiteral("#7F7E27"));
        move(QPoint(100, 404)); // onto the bar: the same drag now sets the brightness
        QCOMPARE(p.currentHue(), 0.16442953f);
        QCOMPARE(p.currentBrightness(), 0.71666664f);
        QCOMPARE(out().colorInHex->text(), QStringLiteral("#B6B538"));
        page->settle();
        const Shown onBar = shown();
        QCOMPARE(onBar.crossHairs, QPoint(60, 250));
        QCOMPARE(onBar.brightnessBar, QPoint(100, 404));
        move(QPoint(200, 365)); // off both areas: nothing more changes
        move(QPoint(330, 404));
        page->settle();
        QCOMPARE(shown(), onBar);
        move(QPoint(160, 404)); // back on the bar
        QCOMPARE(p.currentBrightness(), 0.51666665f);
        if (touch) {
            QTest::touchEvent(&p, touchScreen).release(0, QPoint(160, 404), &p);
        } else {
            QTest::mouseRelease(&p, Qt::LeftButton, {}, QPoint(160, 404));
            // A pointer moving with no button down is not a drag.
            QTest::mouseMove(&p, QPoint(60, 404));
            QCOMPARE(p.currentBrightness(), 0.51666665f);
        }
    }

    void fingerStartingBetweenTheAreasStillDrags()
    {
        ColorPickerView &p = open();
        QTest::QTouchEventWidgetSequence finger = QTest::touchEvent(&p, touchScreen, false);
        finger.press(0, QPoint(160, 365), &p).commit();
        QCOMPARE(out().colorInHex->text(), QStringLiteral("#3F7F7F"));
        finger.move(0, QPoint(60, 250), &p).commit();
        QCOMPARE(out().colorInHex->text(), QStringLiteral("#7F7E27"));
        finger.move(0, QPoint(100, 404), &p).commit();
        QCOMPARE(p.currentBrightness(), 0.71666664f);
        finger.release(0, QPoint(100, 404), &p).commit();
    }

    void markersGlide()
    {
        ColorPickerView &p = open();
        QLabel *crossHairs = out().crossHairs;
        const QPoint start = crossHairs->geometry().center();
        p.dispatchTouchEvent(QPointF(20, 140));
        auto *glide = crossHairs->findChild<QPropertyAnimation *>();
        QVERIFY(glide);
        QCOMPARE(glide->duration(), 600);
        QCOMPARE(glide->state(), QAbstractAnimation::Running);
        QCOMPARE(crossHairs->geometry().center(), start); // not there at once
        // A redraw of the picker on the way leaves the glide alone.
        QTRY_VERIFY(crossHairs->geometry().center() != start);
        p.repaint();
        const QPoint halfway = crossHairs->geometry().center();
        QVERIFY(halfway != QPoint(20, 140));
        // A second touch takes over from where the marker is.
        p.dispatchTouchEvent(QPointF(300, 340));
        QCOMPARE(glide->startValue().toPoint(), crossHairs->pos());
        QTRY_COMPARE(crossHairs->geometry().center(), QPoint(300, 340));

        // The same for the brightness marker, which a redraw would otherwise move at once.
        QLabel *bar = out().brightnessBar;
        p.dispatchTouchEvent(QPointF(20, 404));
        p.repaint();
        QVERIFY(bar->geometry().center() != QPoint(20, 404));
        QTRY_COMPARE(bar->geometry().center(), QPoint(20, 404));
    }

    void gradientBar()
    {
        ColorPickerView &p = open();
        GradientView *bar = p.gradientView();
        QCOMPARE(bar->geometry(), QRect(10, 384, 300, 40));
        auto pixel = [bar](int x) { return bar->grab().toImage().pixelColor(x, 20); };
        auto near = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3
                && std::abs(a.blue() - b.blue()) <= 3;
        };
        // Before any matrix touch: white, yellow, black.
        QVERIFY2(near(pixel(0), Qt::white), qPrintable(pixel(0).name()));
        QVERIFY2(near(pixel(150), yellow), qPrintable(pixel(150).name()));
        QVERIFY2(near(pixel(299), Qt::black), qPrintable(pixel(299).name()));
        QVERIFY(near(pixel(75), QColor(255, 255, 128)));

        p.dispatchTouchEvent(QPointF(160, 170)); // hue 0.5, saturation 1, at brightness 0.5
        QVERIFY2(near(pixel(150), QColor(0, 127, 127)), qPrintable(pixel(150).name()));
        QVERIFY(near(pixel(0), Qt::white));
        QVERIFY(near(pixel(299), Qt::black));
        const QImage before = bar->grab().toImage();
        p.dispatchTouchEvent(QPointF(30, 404));
        p.repaint();
        QCOMPARE(bar->grab().toImage(), before);

        // Saturation above 1 is drawn clamped.
        p.dispatchTouchEvent(QPointF(11, 130));
        QVERIFY2(near(pixel(150), QColor(127, 0, 0)), qPrintable(pixel(150).name()));
    }

    void matrixPictureShowsWhatATouchSelects_data()
    {
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("top-left: red, saturation clamped") << QPoint(0, 0) << QColor(255, 0, 0);
        QTest::newRow("hue 0.5, saturation 1") << QPoint(149, 40) << QColor(0, 255, 255);
        QTest::newRow("bottom-left") << QPoint(0, 216) << QColor(255, 174, 174);
        QTest::newRow("bottom-right") << QPoint(297, 216) << QColor(255, 174, 176);
        QTest::newRow("top-right") << QPoint(297, 0) << QColor(255, 0, 0);
        QTest::newRow("green") << QPoint(89, 120) << QColor(115, 255, 79);
    }
    void matrixPictureShowsWhatATouchSelects()
    {
        QFETCH(QPoint, pixel);
        QFETCH(QColor, colour);
        const QImage picture(QStringLiteral(":/colormap.png"));
        QCOMPARE(picture.size(), QSize(298, 217));
        QCOMPARE(picture.pixelColor(pixel), colour);

        // A press on that pixel at full brightness selects the very colour the pixel shows.
        ColorPickerView &p = open();
        p.setCurrentBrightness(1.0f);
        QTest::mousePress(&p, Qt::LeftButton, {}, pixel + QPoint(11, 130));
        QCOMPARE(swatch(), colour);
        QCOMPARE(out().colorInHex->text(), colour.name(QColor::HexRgb).toUpper());
    }

    void pictureLiesUnderTheMarkers()
    {
        ColorPickerView &p = open();
        auto *matrix = p.findChild<QLabel *>(QStringLiteral("colorMatrix"));
        QVERIFY(matrix);
        QCOMPARE(QRectF(matrix->geometry()), ColorMatrix::frame);
        QCOMPARE(matrix->pixmap().size(), QSize(298, 217));
        // Back to front: swatch, picture, bar, then the form's children in their order.
        QList<QWidget *> order;
        for (QObject *child : p.children()) {
            if (auto *w = qobject_cast<QWidget *>(child))
                order << w;
        }
        QCOMPARE(order.mid(0, 3), (QList<QWidget *> { out().showColor, matrix, p.gradientView() }));
        QVERIFY(order.indexOf(out().crossHairs) > 2);
        QVERIFY(order.indexOf(out().brightnessBar) > 2);
        QCOMPARE(out().colorInHex->font().family(), QStringLiteral("helvetica"));
        QCOMPARE(out().colorInHex->font().pixelSize(), 16);
        // A press where the crosshair lies still reaches the matrix.
        const QPoint onMarker = out().crossHairs->geometry().center();
        QWidget *window = p.window();
        QTest::mouseClick(
            window->windowHandle(), Qt::LeftButton, {}, p.mapTo(window, onMarker + QPoint(3, 0)));
        QCOMPARE(p.currentSaturation(),
            ColorMatrix::hueSaturationAt(onMarker + QPoint(3, 0)).saturation);
    }
};

PEREGRIX_TEST_MAIN(TestColorPickerView)
#include "tst_ColorPickerView.moc"
