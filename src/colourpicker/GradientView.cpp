// GradientView: the picker's brightness bar, a horizontal gradient from white through the chosen
// hue and saturation to black.
#include "GradientView.h"

#include <QPainter>

namespace {

// The drawing is laid out for a bar 300 wide; the clip is taller than the bar, so only the
// bar's own height is painted.
constexpr QRectF gradientClip { 0.0, 0.0, 300.0, 60.0 };
constexpr QPointF gradientStart { 0.0, 0.0 };
constexpr QPointF gradientEnd { 300.0, 0.0 };

} // namespace

GradientView::GradientView(const QRect &frame, QWidget *parent)
    : QWidget(parent)
{
    setGeometry(frame);
    // The bar covers every pixel it owns, so its redraws never cost the picker a repaint (the
    // picker asks for one on every draw of its own).
    setAttribute(Qt::WA_OpaquePaintEvent);
}

GradientView::~GradientView() = default;

void GradientView::setupGradient()
{
    auto gradient = std::make_unique<QLinearGradient>(gradientStart, gradientEnd);
    gradient->setSpread(QGradient::PadSpread);
    gradient->setColorAt(0.0, Qt::white);
    Color middle = m_theColor;
    middle.alpha = 1.0f;
    gradient->setColorAt(0.5, middle.toQColor());
    gradient->setColorAt(1.0, Qt::black);
    m_gradient = std::move(gradient);
}

void GradientView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_gradient) {
        // Opaque, so something must be painted; the picker builds the gradient before this.
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.save();
    painter.setClipRect(gradientClip);
    // Only between the two ends of the axis: nothing is painted before or beyond them.
    painter.fillRect(QRectF(gradientStart.x(), gradientClip.top(),
                         gradientEnd.x() - gradientStart.x(), gradientClip.height()),
        *m_gradient);
    painter.restore();
}
