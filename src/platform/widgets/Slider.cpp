// Slider: a horizontal slider whose value is a float anywhere in its range.
#include "Slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double thumbRadius = 12.0;
}

Slider::Slider(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize Slider::sizeHint() const
{
    return { 200, 30 };
}

void Slider::setValue(float value)
{
    // NaN is kept out of the range as well: it would compare unequal to every stop.
    const float kept = std::isnan(value) ? m_minimum : std::clamp(value, m_minimum, m_maximum);
    if (kept == m_value)
        return;
    m_value = kept;
    update();
    Q_EMIT valueChanged(m_value);
}

void Slider::setMinimumValue(float minimum)
{
    setRange(minimum, std::max(m_maximum, minimum));
}

void Slider::setMaximumValue(float maximum)
{
    setRange(std::min(m_minimum, maximum), maximum);
}

// The range is told before the value it pulls inside, as QAbstractSlider does.
void Slider::setRange(float minimum, float maximum)
{
    const bool changed = minimum != m_minimum || maximum != m_maximum;
    m_minimum = minimum;
    m_maximum = maximum;
    if (changed)
        Q_EMIT rangeChanged(m_minimum, m_maximum);
    setValue(m_value);
    update();
}

float Slider::singleStep() const
{
    return m_singleStep > 0.0f ? m_singleStep : (m_maximum - m_minimum) / 10.0f;
}

void Slider::setSingleStep(float step)
{
    m_singleStep = step;
}

QRectF Slider::trackRect() const
{
    return QRectF(thumbRadius, height() / 2.0 - 2, width() - 2 * thumbRadius, 4);
}

double Slider::thumbCentreX() const
{
    const QRectF track = trackRect();
    const double span = double(m_maximum) - double(m_minimum);
    const double fraction = span > 0 ? (double(m_value) - m_minimum) / span : 0.0;
    return track.left() + fraction * track.width();
}

void Slider::setValueFromUser(float value)
{
    const float before = m_value;
    setValue(value);
    if (m_value != before)
        Q_EMIT sliderMoved(m_value);
}

void Slider::setValueFromX(double x)
{
    const QRectF track = trackRect();
    const double fraction
        = track.width() > 0 ? std::clamp((x - track.left()) / track.width(), 0.0, 1.0) : 0.0;
    setValueFromUser(float(m_minimum + fraction * (double(m_maximum) - m_minimum)));
}

void Slider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragging = true;
    setValueFromX(event->position().x());
}

void Slider::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        setValueFromX(event->position().x());
}

void Slider::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        setValueFromX(event->position().x());
        m_dragging = false;
    }
}

void Slider::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        setValueFromUser(m_value - singleStep());
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        setValueFromUser(m_value + singleStep());
        break;
    case Qt::Key_Home:
        setValueFromUser(m_minimum);
        break;
    case Qt::Key_End:
        setValueFromUser(m_maximum);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Slider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.45);
    const QRectF track = trackRect();
    const double x = thumbCentreX();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 122, 255));
    p.drawRoundedRect(QRectF(track.left(), track.top(), x - track.left(), track.height()), 2, 2);
    p.setBrush(QColor(200, 200, 204));
    p.drawRoundedRect(QRectF(x, track.top(), track.right() - x, track.height()), 2, 2);
    p.setPen(QPen(QColor(0, 0, 0, 50), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(x, height() / 2.0), thumbRadius - 1, thumbRadius - 1);
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(x, height() / 2.0), thumbRadius - 0.5, thumbRadius - 0.5);
    }
}
