// ScrollView: a scrolling area over content larger than itself, which can page horizontally.
#include "ScrollView.h"

#include "ScrollViewDelegate.h"
#include "Slider.h"

#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr double dragThreshold = 6.0;
constexpr double flickVelocity = 0.3; // points per millisecond: a flick turns the page
constexpr int settleMs = 300;

// Controls that are dragged sideways themselves: a drag that starts on one stays with it.
bool keepsItsOwnDrags(const QWidget *widget)
{
    return qobject_cast<const Slider *>(widget) || qobject_cast<const QLineEdit *>(widget);
}

QFrame *makeIndicator(QWidget *parent)
{
    auto *indicator = new QFrame(parent);
    indicator->setAttribute(Qt::WA_TransparentForMouseEvents);
    indicator->setStyleSheet(QStringLiteral("background: rgba(0, 0, 0, 110); border-radius: 2px;"));
    indicator->hide();
    return indicator;
}

} // namespace

ScrollView::ScrollView(QWidget *parent)
    : QWidget(parent)
    , m_content(new QWidget(this))
{
    setAutoFillBackground(true);
    m_clock.start();
    m_animation.setDuration(settleMs);
    m_animation.setEasingCurve(QEasingCurve::OutCubic);
    // An animation reports its start value at once; that is no scroll yet.
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        if (value.toPointF() != m_offset)
            moveContent(value.toPointF());
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] {
        if (m_animationEndsDeceleration)
            Q_EMIT decelerationEnded();
    });
    connect(this, &ScrollView::scrolled, this, [this] {
        if (m_delegate)
            m_delegate->scrollViewDidScroll(this);
    });
    connect(this, &ScrollView::dragStarted, this, [this] {
        if (m_delegate)
            m_delegate->scrollViewWillBeginDragging(this);
    });
    connect(this, &ScrollView::decelerationEnded, this, [this] {
        if (m_delegate)
            m_delegate->scrollViewDidEndDecelerating(this);
    });
    auto *indicator = makeIndicator(this);
    indicator->setObjectName(QStringLiteral("horizontalScrollIndicator"));
    m_indicatorTimer.setSingleShot(true);
    m_indicatorTimer.setInterval(600);
    connect(&m_indicatorTimer, &QTimer::timeout, indicator, &QWidget::hide);
    // Presses on the content's own controls never reach the view; the application's events are
    // watched for a drag that starts on one of them.
    qApp->installEventFilter(this);
}

void ScrollView::addSubview(QWidget *view)
{
    view->setParent(m_content);
    view->show();
}

void ScrollView::setContentSize(const QSizeF &size)
{
    m_contentSize = size;
    m_content->resize(size.toSize());
}

void ScrollView::setBackgroundColor(const QColor &colour)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colour);
    setPalette(palette);
}

QColor ScrollView::backgroundColor() const
{
    return palette().color(QPalette::Window);
}

QPointF ScrollView::maximumOffset() const
{
    return { std::max(0.0, m_contentSize.width() - width()),
        std::max(0.0, m_contentSize.height() - height()) };
}

QPointF ScrollView::clamped(const QPointF &offset) const
{
    const QPointF max = maximumOffset();
    return { std::clamp(offset.x(), 0.0, max.x()), std::clamp(offset.y(), 0.0, max.y()) };
}

// Beyond either end the content follows the finger at half speed, and springs back on release.
QPointF ScrollView::rubberBanded(const QPointF &offset) const
{
    const QPointF inside = clamped(offset);
    return inside + (offset - inside) * 0.5;
}

QPointF ScrollView::restingOffsetAfterDrag(double velocityX) const
{
    if (!m_paging || width() <= 0)
        return clamped(m_offset + QPointF(velocityX * 200.0, 0));
    const double pageWidth = width();
    const double position = m_offset.x() / pageWidth;
    double page = std::round(position);
    if (velocityX > flickVelocity)
        page = std::floor(position) + 1;
    else if (velocityX < -flickVelocity)
        page = std::ceil(position) - 1;
    const double lastPage = std::max(0.0, std::ceil(m_contentSize.width() / pageWidth) - 1);
    page = std::clamp(page, 0.0, lastPage);
    return clamped(QPointF(page * pageWidth, m_offset.y()));
}

void ScrollView::moveContent(const QPointF &offset)
{
    m_offset = offset;
    m_content->move(-offset.toPoint());
    if (m_horizontalIndicator && m_contentSize.width() > width() && width() > 0) {
        auto *indicator = findChild<QFrame *>(QStringLiteral("horizontalScrollIndicator"));
        const double visible = width() / m_contentSize.width();
        const int length = std::max(20, int(width() * visible) - 6);
        const double fraction = std::clamp(offset.x() / maximumOffset().x(), 0.0, 1.0);
        indicator->setGeometry(3 + int((width() - 6 - length) * fraction), height() - 6, length, 4);
        indicator->raise();
        indicator->show();
        m_indicatorTimer.start();
    }
    Q_EMIT scrolled(m_offset);
}

void ScrollView::animateTo(const QPointF &offset, bool endsDeceleration)
{
    m_animation.stop();
    m_animationEndsDeceleration = endsDeceleration;
    if (offset == m_offset) {
        if (endsDeceleration)
            Q_EMIT decelerationEnded();
        return;
    }
    {
        // A stopped animation reports its old end value when given new ones.
        const QSignalBlocker quiet(&m_animation);
        m_animation.setStartValue(m_offset);
        m_animation.setEndValue(offset);
    }
    m_animation.start();
}

void ScrollView::setContentOffset(const QPointF &offset, bool animated)
{
    if (animated)
        animateTo(offset, false);
    else
        moveContent(offset);
}

void ScrollView::scrollRectToVisible(const QRectF &rect, bool animated)
{
    QPointF target = m_offset;
    if (rect.left() < target.x())
        target.setX(rect.left());
    else if (rect.right() > target.x() + width())
        target.setX(rect.right() - width());
    if (rect.top() < target.y())
        target.setY(rect.top());
    else if (rect.bottom() > target.y() + height())
        target.setY(rect.bottom() - height());
    setContentOffset(clamped(target), animated);
}

void ScrollView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_animation.stop(); // a touch stops a settling page where it is
    press(event->position());
}

void ScrollView::press(const QPointF &position)
{
    m_pressed = true;
    m_pressPosition = m_lastPosition = position;
    m_offsetAtPress = m_offset;
    m_lastMoveMs = m_clock.elapsed();
    m_velocityX = 0.0;
}

void ScrollView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    const QPointF position = event->position();
    if (!m_dragging) {
        if ((position - m_pressPosition).manhattanLength() < dragThreshold)
            return;
        m_dragging = true;
        Q_EMIT dragStarted();
    }
    dragTo(position);
}

void ScrollView::dragTo(const QPointF &position)
{
    const qint64 now = m_clock.elapsed();
    if (now > m_lastMoveMs)
        m_velocityX = (m_lastPosition.x() - position.x()) / double(now - m_lastMoveMs);
    m_lastPosition = position;
    m_lastMoveMs = now;
    QPointF delta = m_pressPosition - position;
    if (m_contentSize.height() <= height())
        delta.setY(0);
    moveContent(rubberBanded(m_offsetAtPress + delta));
}

void ScrollView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    if (!m_dragging) {
        // A press that stopped a settling page must not leave the view between two.
        if (m_paging)
            animateTo(restingOffsetAfterDrag(0.0), true);
        return;
    }
    letGo();
}

void ScrollView::letGo()
{
    m_pressed = false;
    m_dragging = false;
    // A pause before letting go is no flick.
    const double velocity = m_clock.elapsed() - m_lastMoveMs > 100 ? 0.0 : m_velocityX;
    animateTo(restingOffsetAfterDrag(velocity), true);
}

// A press on a control of the content goes to the control. Should the pointer's first clear move
// then go sideways more than up or down, as a swipe does, the view takes the drag over from the
// press's own point: the control is let go of away from itself, so a button is not clicked, and
// the rest of the drag pages. A press that stays where it is, or first moves up or down, is the
// control's alone, as is any drag on a control that is dragged sideways itself.
bool ScrollView::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove
        && type != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (type == QEvent::MouseButtonPress) {
        // A press that a control leaves to its parents comes here again for each of them; the
        // control it was given to first is the one that has it.
        auto *target = qobject_cast<QWidget *>(watched);
        const bool samePress = m_controlPress.control && mouse->timestamp() == m_controlPress.time
            && target && target->isAncestorOf(m_controlPress.control);
        if (mouse->button() == Qt::LeftButton && target && !samePress && !m_pressed
            && m_content->isAncestorOf(target) && m_contentSize.width() > width())
            m_controlPress = { target, mapFromGlobal(mouse->globalPosition()), mouse->timestamp() };
        return QWidget::eventFilter(watched, event);
    }
    if (!m_controlPress.control || watched != m_controlPress.control)
        return QWidget::eventFilter(watched, event);
    const QPointF position = mapFromGlobal(mouse->globalPosition());
    if (type == QEvent::MouseButtonRelease) {
        const bool taken = m_controlPress.taken;
        m_controlPress = {};
        if (taken)
            letGo();
        return taken;
    }
    if (m_controlPress.taken) {
        dragTo(position);
        return true;
    }
    const QPointF moved = position - m_controlPress.at;
    if (m_pressed || std::max(std::abs(moved.x()), std::abs(moved.y())) < dragThreshold)
        return QWidget::eventFilter(watched, event);
    // The first clear move decides, for the rest of the drag.
    if (std::abs(moved.x()) <= std::abs(moved.y()) || keepsItsOwnDrags(m_controlPress.control)) {
        m_controlPress = {};
        return QWidget::eventFilter(watched, event);
    }
    takeDragFrom(m_controlPress.control);
    dragTo(position);
    return true;
}

void ScrollView::takeDragFrom(QWidget *control)
{
    m_controlPress.taken = true;
    const QPointF away(-1e6, -1e6);
    QMouseEvent release(QEvent::MouseButtonRelease, away, control->mapToGlobal(away),
        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    {
        const QPointer<QWidget> guard(control);
        m_controlPress.control = nullptr; // the release is the view's own, not one to watch
        QCoreApplication::sendEvent(control, &release);
        m_controlPress.control = guard;
    }
    m_animation.stop();
    press(m_controlPress.at);
    m_dragging = true;
    Q_EMIT dragStarted();
}

void ScrollView::wheelEvent(QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    const int steps = angle.x() != 0 ? angle.x() : angle.y();
    if (steps == 0 || m_contentSize.width() <= width())
        return QWidget::wheelEvent(event);
    const double pageWidth = width();
    const double current = std::round(m_offset.x() / pageWidth);
    const double next = m_paging ? current + (steps < 0 ? 1 : -1) : 0;
    const QPointF target
        = m_paging ? QPointF(next * pageWidth, m_offset.y()) : m_offset - QPointF(steps / 2.0, 0);
    animateTo(clamped(target), true);
    event->accept();
}

void ScrollView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_content->move(-m_offset.toPoint());
}
