// ColorPickerView: the colour picker: a hue/saturation matrix and a brightness bar, a swatch of
// the result, and its values as text.
#pragma once

#include "platform/Color.h"

#include <QRectF>
#include <QWidget>

class GradientView;
class QLabel;
class QTouchEvent;

class ColorPickerView : public QWidget
{
    Q_OBJECT
public:
    // The children the page's form gives the picker. They stay owned by the picker as their
    // Qt parent.
    struct Outlets
    {
        QWidget *showColor = nullptr; // the swatch
        QLabel *crossHairs = nullptr;
        QLabel *brightnessBar = nullptr;
        QLabel *colorInHex = nullptr;
        QLabel *Hcoords = nullptr;
        QLabel *Scoords = nullptr;
        QLabel *Lcoords = nullptr; // brightness, not lightness
        QLabel *Rcoords = nullptr;
        QLabel *Gcoords = nullptr;
        QLabel *Bcoords = nullptr;
    };

    // The bare view; the form creates the picker this way and then calls initWithCoder.
    explicit ColorPickerView(QWidget *parent = nullptr);
    ~ColorPickerView() override;

    // The rest of creation from the page's form, once the form's children exist: the gradient
    // bar and the matrix picture go behind them.
    void initWithCoder(const Outlets &outlets);

    // Setting one of these changes nothing else: no redraw, no label.
    [[nodiscard]] float currentHue() const { return m_currentHue; }
    void setCurrentHue(float hue) { m_currentHue = hue; }
    [[nodiscard]] float currentSaturation() const { return m_currentSaturation; }
    void setCurrentSaturation(float saturation) { m_currentSaturation = saturation; }
    [[nodiscard]] float currentBrightness() const { return m_currentBrightness; }
    void setCurrentBrightness(float brightness) { m_currentBrightness = brightness; }

    // The colour of the last hue/saturation touch; a brightness touch leaves it.
    [[nodiscard]] Color currentColor() const { return m_currentColor; }
    [[nodiscard]] QRectF colorMatrixFrame() const { return m_colorMatrixFrame; }
    [[nodiscard]] GradientView *gradientView() const { return m_gradientView; }
    [[nodiscard]] const Outlets &outlets() const { return m_outlets; }

    // One touch point in the picker's coordinates: the matrix, the bar, or nothing.
    void dispatchTouchEvent(QPointF p);
    void updateHueSatWithMovement(QPointF p);
    void updateBrightnessWithMovement(QPointF p);
    // Glides a marker's centre to p in 0.6 s.
    void animateViewToPosition(QWidget *view, QPointF p);

    // "#RRGGBB", each component clamped and truncated.
    [[nodiscard]] static QString hexStringFromColor(const Color &color);
    // The labels show the values times 255, truncated and not clamped.
    void getStringForRGB(const Color &color);
    void getStringForHSL(float hue, float saturation, float brightness);
    // The hex label's text less its "#": exactly 7 characters lose the first, any other length
    // comes back as it is.
    [[nodiscard]] QString getColorHex() const;
    [[nodiscard]] Color getColorShown() const;
    // Shows a colour in the swatch and nothing else.
    void colorLoaded(const QColor &color);

    static constexpr int animationMilliseconds = 600;
    static constexpr double brightnessMarkerY = 404.0;

protected:
    // The picker's drawing hook: it places the brightness marker and rebuilds the bar.
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void placeView(QWidget *view, QPointF centre);
    [[nodiscard]] bool touchesBeganInAnArea(const QTouchEvent *touch) const;

    GradientView *m_gradientView = nullptr;
    Outlets m_outlets;
    QRectF m_colorMatrixFrame;
    float m_currentBrightness = 0.0f;
    float m_currentHue = 0.0f;
    float m_currentSaturation = 0.0f;
    Color m_currentColor;
};
