// ColorPickerView: the colour picker: a hue/saturation matrix and a brightness bar, a swatch of
// the result, and its values as text.
#include "ColorPickerView.h"

#include "ColorMatrix.h"
#include "GradientView.h"

#include <QEasingCurve>
#include <QLabel>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QTouchEvent>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace {

const QString markerAnimationName = QStringLiteral("markerAnimation");

// Values times 255 as the labels show them: truncated, not clamped. Values far out of range
// (only a hand-edited preferences file gives them) saturate instead of overflowing.
QString timesTwoFiftyFive(float value)
{
    const float scaled = value * 255.0f;
    if (std::isnan(scaled))
        return QStringLiteral("0");
    if (scaled >= 2147483648.0f)
        return QString::number(INT_MAX);
    if (scaled <= -2147483648.0f)
        return QString::number(INT_MIN);
    return QString::number(int(scaled));
}

// The top-left corner that puts a view's centre (QRect::center) on p; nothing for a point that
// no screen could show.
std::optional<QPoint> topLeftForCentre(const QWidget *view, QPointF p)
{
    constexpr double limit = 1 << 20;
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return std::nullopt;
    QRect frame = view->geometry();
    frame.moveCenter(
        QPoint(qRound(std::clamp(p.x(), -limit, limit)), qRound(std::clamp(p.y(), -limit, limit))));
    return frame.topLeft();
}

QPropertyAnimation *markerAnimation(QWidget *view)
{
    return view->findChild<QPropertyAnimation *>(markerAnimationName, Qt::FindDirectChildrenOnly);
}

} // namespace

ColorPickerView::ColorPickerView(QWidget *parent)
    : QWidget(parent)
{ }

ColorPickerView::~ColorPickerView() = default;

void ColorPickerView::initWithCoder(const Outlets &outlets)
{
    m_outlets = outlets;

    m_gradientView = new GradientView(QRect(10, 384, 300, 40), this);
    m_gradientView->setObjectName(QStringLiteral("gradientView"));
    m_gradientView->setTheColor(Color { 1.0f, 1.0f, 0.0f, 1.0f });
    m_gradientView->lower();
    m_gradientView->show();

    setAttribute(Qt::WA_AcceptTouchEvents);

    m_colorMatrixFrame = ColorMatrix::frame;
    auto *matrix = new QLabel(this);
    matrix->setObjectName(QStringLiteral("colorMatrix"));
    matrix->setGeometry(m_colorMatrixFrame.toRect());
    matrix->setPixmap(QPixmap(QStringLiteral(":/colormap.png")));
    matrix->lower();
    matrix->show();

    m_currentBrightness = 0.5f;
    m_currentColor = Color {};

    // Presses and touches on the picture, the bar, the swatch or a marker belong to the picker,
    // in its own coordinates, however the children are stacked.
    for (QWidget *child : { static_cast<QWidget *>(matrix), static_cast<QWidget *>(m_gradientView),
             m_outlets.showColor, static_cast<QWidget *>(m_outlets.crossHairs),
             static_cast<QWidget *>(m_outlets.brightnessBar) }) {
        if (child)
            child->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

void ColorPickerView::dispatchTouchEvent(QPointF p)
{
    if (ColorMatrix::rectContainsPoint(m_colorMatrixFrame, p)) {
        animateViewToPosition(m_outlets.crossHairs, p);
        updateHueSatWithMovement(p);
    } else if (ColorMatrix::rectContainsPoint(QRectF(m_gradientView->geometry()), p)) {
        animateViewToPosition(m_outlets.brightnessBar, QPointF(p.x(), brightnessMarkerY));
        updateBrightnessWithMovement(p);
    }
}

void ColorPickerView::updateHueSatWithMovement(QPointF p)
{
    const auto [hue, saturation] = ColorMatrix::hueSaturationAt(p);
    m_currentHue = hue;
    m_currentSaturation = saturation;

    // The bar shows the hue and saturation; its middle stays at half brightness.
    m_gradientView->setTheColor(colorWithHue(m_currentHue, m_currentSaturation, 0.5f));
    m_gradientView->setupGradient();
    m_gradientView->update();

    m_currentColor = colorWithHue(m_currentHue, m_currentSaturation, m_currentBrightness);
    colorLoaded(m_currentColor.toQColor());
    m_outlets.colorInHex->setText(hexStringFromColor(m_currentColor));
    getStringForRGB(m_currentColor);
    getStringForHSL(m_currentHue, m_currentSaturation, m_currentBrightness);
}

void ColorPickerView::updateBrightnessWithMovement(QPointF p)
{
    const double w = m_gradientView->geometry().width();
    const float quotient = float(p.x()) / float(w);
    // 0.05 past the inverse of the position, so the brightness never reaches 0 on the bar.
    m_currentBrightness = float(1.0 - double(quotient) + 0.05);

    // The gradient does not depend on the brightness, and currentColor keeps the last
    // hue/saturation touch.
    const Color shown = colorWithHue(m_currentHue, m_currentSaturation, m_currentBrightness);
    colorLoaded(shown.toQColor());
    m_outlets.colorInHex->setText(hexStringFromColor(shown));
    getStringForRGB(shown);
    getStringForHSL(m_currentHue, m_currentSaturation, m_currentBrightness);
}

void ColorPickerView::animateViewToPosition(QWidget *view, QPointF p)
{
    if (!view)
        return;
    const std::optional<QPoint> target = topLeftForCentre(view, p);
    if (!target)
        return;
    QPropertyAnimation *animation = markerAnimation(view);
    if (!animation) {
        animation = new QPropertyAnimation(view, "pos", view);
        animation->setObjectName(markerAnimationName);
        animation->setDuration(animationMilliseconds);
        animation->setEasingCurve(QEasingCurve::InOutQuad);
    }
    // A new touch takes over from wherever the marker is on its way.
    animation->stop();
    animation->setStartValue(view->pos());
    animation->setEndValue(*target);
    animation->start();
}

void ColorPickerView::placeView(QWidget *view, QPointF centre)
{
    if (!view)
        return;
    const std::optional<QPoint> target = topLeftForCentre(view, centre);
    if (!target)
        return;
    // Every frame of a marker's glide repaints the picker; jumping the marker to its end here
    // would undo the glide, so a running one is only pointed at the same place.
    if (QPropertyAnimation *animation = markerAnimation(view);
        animation && animation->state() == QAbstractAnimation::Running) {
        animation->setEndValue(*target);
        return;
    }
    view->move(*target);
}

QString ColorPickerView::hexStringFromColor(const Color &color)
{
    return QString::asprintf("#%02X%02X%02X", Color::byteOf(color.red), Color::byteOf(color.green),
        Color::byteOf(color.blue));
}

void ColorPickerView::getStringForRGB(const Color &color)
{
    m_outlets.Rcoords->setText(timesTwoFiftyFive(color.red));
    m_outlets.Gcoords->setText(timesTwoFiftyFive(color.green));
    m_outlets.Bcoords->setText(timesTwoFiftyFive(color.blue));
}

void ColorPickerView::getStringForHSL(float hue, float saturation, float brightness)
{
    m_outlets.Hcoords->setText(timesTwoFiftyFive(hue));
    m_outlets.Scoords->setText(timesTwoFiftyFive(saturation));
    m_outlets.Lcoords->setText(timesTwoFiftyFive(brightness));
}

QString ColorPickerView::getColorHex() const
{
    const QString text = m_outlets.colorInHex->text();
    return text.size() == 7 ? text.mid(1) : text;
}

Color ColorPickerView::getColorShown() const
{
    return colorWithHue(m_currentHue, m_currentSaturation, m_currentBrightness);
}

void ColorPickerView::colorLoaded(const QColor &color)
{
    QPalette palette = m_outlets.showColor->palette();
    palette.setColor(QPalette::Window, color);
    m_outlets.showColor->setPalette(palette);
    m_outlets.showColor->setAutoFillBackground(true);
}

void ColorPickerView::paintEvent(QPaintEvent *)
{
    // The marker follows the brightness, so one restored from the preferences stands where a
    // touch would have put it: (1 - b) * w + 15 inverts the bar's mapping.
    const double w = m_gradientView->geometry().width();
    placeView(m_outlets.brightnessBar,
        QPointF((1.0 - double(m_currentBrightness)) * w + 15.0, brightnessMarkerY));

    m_gradientView->setupGradient();
    m_gradientView->update();

    // Only when it differs: a font change relays the label out and would repaint the picker.
    QFont hexFont(QStringLiteral("helvetica"));
    hexFont.setPixelSize(16);
    const QFont current = m_outlets.colorInHex->font();
    if (current.family() != hexFont.family() || current.pixelSize() != hexFont.pixelSize())
        m_outlets.colorInHex->setFont(hexFont);

    m_outlets.showColor->lower();
}

void ColorPickerView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dispatchTouchEvent(event->position());
    event->accept();
}

void ColorPickerView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    dispatchTouchEvent(event->position());
    event->accept();
}

bool ColorPickerView::touchesBeganInAnArea(const QTouchEvent *touch) const
{
    for (const QEventPoint &point : touch->points()) {
        if (point.state() == QEventPoint::State::Pressed
            && (ColorMatrix::rectContainsPoint(m_colorMatrixFrame, point.position())
                || ColorMatrix::rectContainsPoint(
                    QRectF(m_gradientView->geometry()), point.position())))
            return true;
    }
    return false;
}

bool ColorPickerView::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
        // A touch that starts elsewhere is left to Qt, which turns it into a press for the
        // set-colour button under it, or into a pointer drag that the picker still follows.
        if (!touchesBeganInAnArea(static_cast<QTouchEvent *>(event))) {
            event->ignore();
            return false;
        }
        [[fallthrough]];
    case QEvent::TouchUpdate: {
        // Every finger that went down or moved, in the event's order: the last one decides.
        const auto *touch = static_cast<QTouchEvent *>(event);
        for (const QEventPoint &point : touch->points()) {
            if (point.state() == QEventPoint::State::Pressed
                || point.state() == QEventPoint::State::Updated)
                dispatchTouchEvent(point.position());
        }
        event->accept();
        return true;
    }
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}
