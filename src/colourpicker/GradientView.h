// GradientView: the picker's brightness bar, a horizontal gradient from white through the chosen
// hue and saturation to black.
#pragma once

#include "platform/Color.h"

#include <QLinearGradient>
#include <QWidget>

#include <memory>

class GradientView : public QWidget
{
    Q_OBJECT
public:
    // theColor must be set before the first setupGradient.
    explicit GradientView(const QRect &frame, QWidget *parent = nullptr);
    ~GradientView() override;

    [[nodiscard]] Color theColor() const { return m_theColor; }
    void setTheColor(const Color &color) { m_theColor = color; }

    // Builds the gradient from theColor; its alpha is ignored.
    void setupGradient();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<QLinearGradient> m_gradient;
    Color m_theColor;
};
