// Slider: a horizontal slider whose value is a float anywhere in its range.
#pragma once

#include <QWidget>

class Slider : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(float value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(float minimumValue READ minimumValue WRITE setMinimumValue NOTIFY rangeChanged)
    Q_PROPERTY(float maximumValue READ maximumValue WRITE setMaximumValue NOTIFY rangeChanged)
public:
    explicit Slider(QWidget *parent = nullptr);

    [[nodiscard]] float value() const { return m_value; }
    // Sets the value from the program, kept within the range: valueChanged, but not sliderMoved.
    void setValue(float value);
    [[nodiscard]] float minimumValue() const { return m_minimum; }
    [[nodiscard]] float maximumValue() const { return m_maximum; }
    void setMinimumValue(float minimum);
    void setMaximumValue(float maximum);
    // How far an arrow key or Page Up/Down moves the value; a tenth of the range unless set.
    [[nodiscard]] float singleStep() const;
    void setSingleStep(float step);

    [[nodiscard]] QSize sizeHint() const override;

Q_SIGNALS:
    // Every change of the value, by the user or the program.
    void valueChanged(float value);
    // The user moved the value, by pointer (continuously while dragging) or by keyboard; after
    // valueChanged.
    void sliderMoved(float value);
    void rangeChanged(float minimum, float maximum);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    [[nodiscard]] QRectF trackRect() const;
    [[nodiscard]] double thumbCentreX() const;
    void setRange(float minimum, float maximum);
    void setValueFromUser(float value);
    void setValueFromX(double x);

    float m_value = 0.0f;
    float m_minimum = 0.0f;
    float m_maximum = 1.0f;
    float m_singleStep = 0.0f; // 0: a tenth of the range
    bool m_dragging = false;
};
