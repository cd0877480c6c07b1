// Switch: an on/off control drawn as a sliding toggle.
#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

class Switch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit Switch(QWidget *parent = nullptr);

    [[nodiscard]] bool isOn() const { return isChecked(); }
    // Sets the state from the program; valueChanged is not emitted.
    void setOn(bool on, bool animated = false);

    [[nodiscard]] QSize sizeHint() const override;

Q_SIGNALS:
    // The user flipped the switch (by pointer, touch or keyboard).
    void valueChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void moveKnob(bool animated);

    QVariantAnimation m_knob; // 0 = off position, 1 = on position
};
