// Switch: an on/off control drawn as a sliding toggle.
#include "Switch.h"

#include <QPainter>
#include <QPainterPath>

namespace {
const QColor onColour(76, 217, 100);
const QColor offColour(229, 229, 234);
} // namespace

Switch::Switch(QWidget *parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_knob.setDuration(150);
    m_knob.setStartValue(0.0);
    m_knob.setEndValue(0.0);
    connect(&m_knob, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

void Switch::setOn(bool on, bool animated)
{
    if (on == isChecked())
        return;
    setChecked(on);
    moveKnob(animated);
}

void Switch::checkStateSet()
{
    moveKnob(false);
}

void Switch::nextCheckState()
{
    setChecked(!isChecked());
    moveKnob(true);
}

void Switch::moveKnob(bool animated)
{
    const double target = isChecked() ? 1.0 : 0.0;
    m_knob.stop();
    if (animated && isVisible()) {
        m_knob.setStartValue(m_knob.currentValue().isValid() ? m_knob.currentValue() : 1 - target);
        m_knob.setEndValue(target);
        m_knob.start();
    } else {
        m_knob.setStartValue(target);
        m_knob.setEndValue(target);
    }
    update();
}

QSize Switch::sizeHint() const
{
    return { 51, 31 };
}

void Switch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.45);
    const double position = m_knob.state() == QAbstractAnimation::Running
        ? m_knob.currentValue().toDouble()
        : (isChecked() ? 1.0 : 0.0);

    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = track.height() / 2;
    QColor fill = offColour;
    fill = QColor::fromRgbF(fill.redF() + (onColour.redF() - fill.redF()) * position,
        fill.greenF() + (onColour.greenF() - fill.greenF()) * position,
        fill.blueF() + (onColour.blueF() - fill.blueF()) * position);
    p.setPen(QPen(QColor(0, 0, 0, 40), 1));
    p.setBrush(fill);
    p.drawRoundedRect(track, radius, radius);

    const double knobSize = track.height() - 4;
    const double x = track.left() + 2 + (track.width() - knobSize - 4) * position;
    const QRectF knob(x, track.top() + 2, knobSize, knobSize);
    p.setPen(QPen(QColor(0, 0, 0, 60), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(knob);
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
    }
}
