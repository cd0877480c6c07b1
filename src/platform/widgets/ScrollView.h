// ScrollView: a scrolling area over content larger than itself, which can page horizontally.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

class ScrollViewDelegate;

class ScrollView : public QWidget
{
    Q_OBJECT
public:
    explicit ScrollView(QWidget *parent = nullptr);

    // The delegate hears what the signals below tell, through connections of the view's own.
    void setDelegate(ScrollViewDelegate *delegate) { m_delegate = delegate; }

    // Views added here scroll with the content; their geometry is in content coordinates.
    void addSubview(QWidget *view);
    [[nodiscard]] QWidget *contentView() const { return m_content; }

    void setContentSize(const QSizeF &size);
    [[nodiscard]] QSizeF contentSize() const { return m_contentSize; }
    [[nodiscard]] QPointF contentOffset() const { return m_offset; }
    void setContentOffset(const QPointF &offset, bool animated = false);
    // Scrolls as little as needed to bring the rectangle (content coordinates) into view.
    void scrollRectToVisible(const QRectF &rect, bool animated);

    void setPagingEnabled(bool paging) { m_paging = paging; }
    void setShowsHorizontalScrollIndicator(bool shows) { m_horizontalIndicator = shows; }
    void setShowsVerticalScrollIndicator(bool shows) { m_verticalIndicator = shows; }
    void setScrollsToTop(bool scrollsToTop) { m_scrollsToTop = scrollsToTop; }
    void setBackgroundColor(const QColor &colour);
    [[nodiscard]] QColor backgroundColor() const;

    [[nodiscard]] bool isDragging() const { return m_dragging; }
    [[nodiscard]] bool isAnimating() const
    {
        return m_animation.state() == QAbstractAnimation::Running;
    }

Q_SIGNALS:
    // The content was moved, by the user, an animation or the program; also when it was put
    // where it already was.
    void scrolled(const QPointF &contentOffset);
    // The user began to drag the content.
    void dragStarted();
    // A drag was let go, or the wheel turned, and the content has come to rest.
    void decelerationEnded();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void press(const QPointF &position);
    void dragTo(const QPointF &position);
    void letGo();
    void takeDragFrom(QWidget *control);
    [[nodiscard]] QPointF maximumOffset() const;
    [[nodiscard]] QPointF clamped(const QPointF &offset) const;
    [[nodiscard]] QPointF rubberBanded(const QPointF &offset) const;
    [[nodiscard]] QPointF restingOffsetAfterDrag(double velocityX) const;
    void moveContent(const QPointF &offset);
    void animateTo(const QPointF &offset, bool endsDeceleration);

    QPointer<QWidget> m_content;
    ScrollViewDelegate *m_delegate = nullptr;
    QSizeF m_contentSize;
    QPointF m_offset;
    bool m_paging = false;
    bool m_horizontalIndicator = true;
    bool m_verticalIndicator = true;
    bool m_scrollsToTop = true;

    // Dragging
    bool m_pressed = false;
    bool m_dragging = false;
    QPointF m_pressPosition;
    QPointF m_offsetAtPress;
    QPointF m_lastPosition;
    qint64 m_lastMoveMs = 0;
    double m_velocityX = 0.0; // points per millisecond
    QElapsedTimer m_clock;

    // A press on one of the content's controls, which the view may take over as a drag.
    struct ControlPress
    {
        QPointer<QWidget> control;
        QPointF at; // in the view's coordinates
        quint64 time = 0;
        bool taken = false;
    };
    ControlPress m_controlPress;

    QVariantAnimation m_animation;
    bool m_animationEndsDeceleration = false;
    QTimer m_indicatorTimer; // keeps the indicator visible a moment after scrolling
};
