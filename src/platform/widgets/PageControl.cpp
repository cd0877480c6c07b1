// PageControl: a row of dots showing which of several pages is in view.
#include "PageControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr double dotSize = 7.0;
constexpr double dotSpacing = 16.0;
} // namespace

PageControl::PageControl(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void PageControl::setNumberOfPages(int pages)
{
    const int before = m_pages;
    m_pages = std::max(0, pages);
    if (m_pages != before)
        Q_EMIT numberOfPagesChanged(m_pages);
    setCurrentPage(m_current);
    update();
}

void PageControl::setCurrentPage(int page)
{
    const int before = m_current;
    m_current = m_pages == 0 ? 0 : std::clamp(page, 0, m_pages - 1);
    update();
    if (m_current != before)
        Q_EMIT valueChanged(m_current);
}

void PageControl::setBackgroundColor(const QColor &colour)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colour);
    setPalette(palette);
    setAutoFillBackground(true);
}

QSize PageControl::sizeHint() const
{
    return { int(dotSpacing * std::max(1, m_pages) + 16), 20 };
}

QRectF PageControl::dotRect(int page) const
{
    const double rowWidth = dotSpacing * (m_pages - 1) + dotSize;
    const double left = (width() - rowWidth) / 2.0;
    return QRectF(left + page * dotSpacing, (height() - dotSize) / 2.0, dotSize, dotSize);
}

void PageControl::stepByUser(int step)
{
    const int before = m_current;
    setCurrentPage(m_current + step);
    if (m_current != before)
        Q_EMIT activated(m_current);
}

void PageControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // A tap beside the current dot moves one page towards that side.
    const double currentCentre = dotRect(m_current).center().x();
    stepByUser(event->position().x() < currentCentre ? -1 : 1);
}

void PageControl::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Left)
        stepByUser(-1);
    else if (event->key() == Qt::Key_Right)
        stepByUser(1);
    else
        QWidget::keyPressEvent(event);
}

void PageControl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < m_pages; ++i) {
        p.setBrush(i == m_current ? QColor(40, 40, 40) : QColor(255, 255, 255, 220));
        p.drawEllipse(dotRect(i));
    }
}
