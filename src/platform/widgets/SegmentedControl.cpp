// SegmentedControl: a row of segments of which one is selected.
#include "SegmentedControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor tint(0, 122, 255);
}

SegmentedControl::SegmentedControl(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SegmentedControl::setTitles(const QStringList &titles)
{
    const bool changed = titles != m_titles;
    m_titles = titles;
    if (changed)
        Q_EMIT titlesChanged(m_titles);
    if (m_selected >= numberOfSegments())
        select(noSegment);
    updateGeometry();
    update();
}

void SegmentedControl::setSelectedSegmentIndex(int index)
{
    select(index >= 0 && index < numberOfSegments() ? index : noSegment);
    update();
}

void SegmentedControl::select(int index)
{
    if (index == m_selected)
        return;
    m_selected = index;
    update();
    Q_EMIT valueChanged(m_selected);
}

QSize SegmentedControl::sizeHint() const
{
    return { 60 * qMax(1, numberOfSegments()), 30 };
}

QRect SegmentedControl::segmentRect(int index) const
{
    const int n = qMax(1, numberOfSegments());
    const int left = width() * index / n;
    const int right = width() * (index + 1) / n;
    return QRect(left, 0, right - left, height());
}

void SegmentedControl::selectByUser(int index)
{
    if (index < 0 || index >= numberOfSegments() || index == m_selected)
        return;
    select(index);
    Q_EMIT activated(index);
}

void SegmentedControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    for (int i = 0; i < numberOfSegments(); ++i) {
        if (segmentRect(i).contains(event->position().toPoint())) {
            selectByUser(i);
            return;
        }
    }
}

void SegmentedControl::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Left)
        selectByUser(m_selected <= 0 ? 0 : m_selected - 1);
    else if (event->key() == Qt::Key_Right)
        selectByUser(m_selected + 1);
    else
        QWidget::keyPressEvent(event);
}

void SegmentedControl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.45);
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(outline, 5, 5);
    p.fillPath(shape, Qt::white);
    p.save();
    p.setClipPath(shape);
    for (int i = 0; i < numberOfSegments(); ++i) {
        const QRect r = segmentRect(i);
        const bool selected = i == m_selected;
        if (selected)
            p.fillRect(r, tint);
        else if (i > 0) {
            p.setPen(tint);
            p.drawLine(r.topLeft(), r.bottomLeft());
        }
        p.setPen(selected ? Qt::white : tint);
        p.drawText(r.adjusted(4, 0, -4, 0), Qt::AlignCenter, m_titles[i]);
    }
    p.restore();
    p.setPen(QPen(tint, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.drawRoundedRect(outline.adjusted(2, 2, -2, -2), 4, 4);
    }
}
