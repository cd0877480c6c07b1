// ColorPickerViewController: the colour picker page: restores the picker's values, stores the
// chosen theme colour, and follows the theme colour itself.
#pragma once

#include "platform/Color.h"
#include "platform/ViewController.h"

#include <QString>

class QColor;

#include <memory>

class ColorPickerView;

// The preference keys of the picker's own state.
extern const QString keyForHue;
extern const QString keyForSat;
extern const QString keyForBright;

namespace Ui {
class ColorPickerViewController;
}

class ColorPickerViewController : public ViewController
{
    Q_OBJECT
public:
    explicit ColorPickerViewController(QObject *parent = nullptr);
    ~ColorPickerViewController() override;

    // The picker, which fills the page's view, once the page has loaded.
    [[nodiscard]] ColorPickerView *pickerView() const;

    // The set-colour button's action.
    void setColor();
    void backgroundColorSet();
    [[nodiscard]] Color getSelectedColor() const;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    // The six numbers of a stored colour: hue, saturation, brightness, red, green, blue.
    void showNumbersOf(const QColor &colour);

    std::unique_ptr<Ui::ColorPickerViewController> ui;
};
