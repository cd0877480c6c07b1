// PageCurlTransition: draws a page curl between two states of a view.
#include "PageCurlTransition.h"

#include <QPainter>

// A curl still under way gives way to the new one, which starts from the frame it showed: two
// at once would draw both flaps, and the older could end over the newer's last picture.
PageCurlTransition *PageCurlTransition::begin(QWidget *view, Direction direction, int durationMs)
{
    const QList<PageCurlTransition *> underway
        = view->findChildren<PageCurlTransition *>(QString(), Qt::FindDirectChildrenOnly);
    auto *curl = new PageCurlTransition(view, direction, durationMs);
    qDeleteAll(underway);
    return curl;
}

PageCurlTransition::PageCurlTransition(QWidget *view, Direction direction, int durationMs)
    : QWidget(view)
    , m_direction(direction)
    , m_before(view->grab())
{
    hide();
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_animation.setDuration(durationMs);
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(&m_animation, &QVariantAnimation::finished, this, &QObject::deleteLater);
}

void PageCurlTransition::commit()
{
    QWidget *view = parentWidget();
    m_after = view->grab();
    setGeometry(view->rect());
    raise();
    show();
    m_animation.start();
}

void PageCurlTransition::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const double t = m_animation.currentValue().toDouble();
    const double h = height();
    // Curling up, the old page lifts from the bottom and uncovers the new one; curling down,
    // the new page comes down over the old one.
    const bool up = m_direction == CurlUp;
    const QPixmap &under = up ? m_after : m_before;
    const QPixmap &over = up ? m_before : m_after;
    const double fold = up ? h * (1.0 - t) : h * t;
    p.drawPixmap(0, 0, under);
    p.drawPixmap(QRectF(0, 0, width(), fold), over, QRectF(0, 0, over.width(), fold));

    // The back of the curled part, lying over the fold, and its shadow on the page beneath.
    const double flap = std::min(h - fold, fold) * 0.45;
    QLinearGradient back(0, fold - flap, 0, fold);
    back.setColorAt(0, QColor(250, 250, 250));
    back.setColorAt(1, QColor(200, 200, 200));
    p.fillRect(QRectF(0, fold - flap, width(), flap), back);
    QLinearGradient shadow(0, fold, 0, fold + 18);
    shadow.setColorAt(0, QColor(0, 0, 0, 90));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(0, fold, width(), 18), shadow);
}
