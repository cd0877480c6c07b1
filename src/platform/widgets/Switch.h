// Switch: an on/off control drawn as a sliding toggle.
#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

// As with any checkable button, toggled(bool) follows every change of the state, the
// program's too, and clicked(bool) is the user's flip alone (pointer, touch or keyboard).
class Switch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit Switch(QWidget *parent = nullptr);

    [[nodiscard]] bool isOn() const { return isChecked(); }
    // Sets the state from the program: toggled, but not clicked.
    void setOn(bool on, bool animated = false);

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void moveKnob(bool animated);

    QVariantAnimation m_knob; // 0 = off position, 1 = on position
};
