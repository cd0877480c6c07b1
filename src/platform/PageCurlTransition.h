// PageCurlTransition: draws a page curl between two states of a view. The view itself changes
// at once; the transition only covers it with the animated pictures of before and after.
#pragma once

#include <QPixmap>
#include <QVariantAnimation>
#include <QWidget>

class PageCurlTransition : public QWidget
{
    Q_OBJECT
public:
    enum Direction { CurlUp = 3, CurlDown = 4 };

    // Takes the picture of the view as it is now. Change the view, then commit().
    static PageCurlTransition *begin(QWidget *view, Direction direction, int durationMs = 1000);
    // Takes the picture of the changed view and plays the curl; the transition then goes away.
    void commit();

    [[nodiscard]] Direction direction() const { return m_direction; }
    // The pictures the curl goes from and to.
    [[nodiscard]] const QPixmap &beforePicture() const { return m_before; }
    [[nodiscard]] const QPixmap &afterPicture() const { return m_after; }
    [[nodiscard]] bool isRunning() const
    {
        return m_animation.state() == QAbstractAnimation::Running;
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    PageCurlTransition(QWidget *view, Direction direction, int durationMs);

    Direction m_direction;
    QPixmap m_before;
    QPixmap m_after;
    QVariantAnimation m_animation;
};
