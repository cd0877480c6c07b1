// ActivityIndicator: a spinning wheel that shows work in progress.
#include "ActivityIndicator.h"

#include <QPainter>

namespace {
constexpr int spokes = 12;
}

ActivityIndicator::ActivityIndicator(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setInterval(1000 / spokes);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
}

void ActivityIndicator::startAnimating()
{
    m_timer.start();
    update();
}

void ActivityIndicator::stopAnimating()
{
    m_timer.stop();
    update();
}

QSize ActivityIndicator::sizeHint() const
{
    return { 20, 20 };
}

void ActivityIndicator::paintEvent(QPaintEvent *)
{
    if (!isAnimating())
        return; // a stopped indicator shows nothing
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double size = qMin(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    QColor colour = palette().color(QPalette::WindowText);
    QPen pen(colour, qMax(1.5, size / 10), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the current step is darkest; the ones behind it fade.
        const int age = (m_step - i + spokes) % spokes;
        colour.setAlphaF(1.0f - float(age) / spokes * 0.85f);
        pen.setColor(colour);
        p.setPen(pen);
        p.drawLine(QPointF(0, -size * 0.22), QPointF(0, -size * 0.45));
        p.rotate(360.0 / spokes);
    }
}
