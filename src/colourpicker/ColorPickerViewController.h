// ColorPickerViewController: the colour picker page: restores the picker's values, stores the
// chosen theme colour, and follows the theme colour itself.
#pragma once

#include "ui_ColorPickerViewController.h"

#include "platform/Color.h"
#include "platform/ViewController.h"

#include <QString>

// The preference keys of the picker's own state.
extern const QString keyForHue;
extern const QString keyForSat;
extern const QString keyForBright;

class ColorPickerViewController : public ViewController
{
    Q_OBJECT
public:
    explicit ColorPickerViewController(QObject *parent = nullptr);

    // The page's outlets, from its form; ui.pickerView is the picker.
    Ui::ColorPickerViewController ui;

    // The set-colour button's action.
    void setColor();
    void backgroundColorSet();
    [[nodiscard]] Color getSelectedColor() const;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;
};
