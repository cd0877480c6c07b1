// ColorPickerViewController: the colour picker page: restores the picker's values, stores the
// chosen theme colour, and follows the theme colour itself.
#include "ColorPickerViewController.h"
#include "ui_ColorPickerViewController.h"

#include "shared/GlobalFunctions.h"
#include "shared/PreferenceKeys.h"
#include "shared/ThemeColour.h"

#include "platform/UserDefaults.h"

#include <algorithm>

const QString keyForHue = PreferenceKeys::hue;
const QString keyForSat = PreferenceKeys::sat;
const QString keyForBright = PreferenceKeys::bright;

namespace {

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

// An absent key reads as 0.0, so a stored 0.0 cannot be told from none and starts at 0.5 too.
float storedOrHalf(const QString &key)
{
    return defaults().floatForKey(key) != 0.0f ? defaults().floatForKey(key) : 0.5f;
}

} // namespace

ColorPickerViewController::ColorPickerViewController(QObject *parent)
    : ViewController(parent)
    , ui(std::make_unique<Ui::ColorPickerViewController>())
{ }

ColorPickerViewController::~ColorPickerViewController() = default;

ColorPickerView *ColorPickerViewController::pickerView() const
{
    return ui->pickerView;
}

void ColorPickerViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
    ui->pickerView->initWithCoder(
        { ui->showColor, ui->crossHairs, ui->brightnessBar, ui->colorInHex, ui->Hcoords,
            ui->Scoords, ui->Lcoords, ui->Rcoords, ui->Gcoords, ui->Bcoords });
    connect(ui->cbSetColor, &QPushButton::clicked, this, [this] { setColor(); });
}

void ColorPickerViewController::viewDidLoad()
{
    ViewController::viewDidLoad();
    ui->pickerView->setCurrentHue(storedOrHalf(keyForHue));
    ui->pickerView->setCurrentSaturation(storedOrHalf(keyForSat));
    ui->pickerView->setCurrentBrightness(storedOrHalf(keyForBright));
    // Setting the colour before touching the picker stores the hex label's text. Once a colour
    // has been stored, the label starts from it, so that such a set keeps the theme as it is.
    ColorPickerView *picker = ui->pickerView;
    const QString stored = defaults().stringForKey(PreferenceKeys::bg);
    const QColor storedColour(QLatin1Char('#') + stored);
    if (stored.size() == 6 && storedColour.isValid())
        picker->outlets().colorInHex->setText(QLatin1Char('#') + stored.toUpper());
    // The numbers beside it describe the colour it shows: the restored values', as a touch would
    // show them, or the stored colour's own where those values do not make it (a stored hue of
    // 0 comes back as 0.5).
    const Color restored = picker->getColorShown();
    if (picker->outlets().colorInHex->text() == ColorPickerView::hexStringFromColor(restored)) {
        picker->getStringForHSL(
            picker->currentHue(), picker->currentSaturation(), picker->currentBrightness());
        picker->getStringForRGB(restored);
    } else if (stored.size() == 6 && storedColour.isValid()) {
        showNumbersOf(storedColour);
    }
    // Nothing is posted here: the settings side posts once all its pages exist.
    ThemeColour::observe(this, [this] { backgroundColorSet(); });
}

void ColorPickerViewController::showNumbersOf(const QColor &colour)
{
    const ColorPickerView::Outlets &labels = ui->pickerView->outlets();
    // A grey has no hue of its own: it shows 0, as a touch at the matrix's left edge would.
    labels.Hcoords->setText(QString::number(std::max(0, colour.hsvHue()) * 255 / 360));
    labels.Scoords->setText(QString::number(colour.hsvSaturation()));
    labels.Lcoords->setText(QString::number(colour.value()));
    labels.Rcoords->setText(QString::number(colour.red()));
    labels.Gcoords->setText(QString::number(colour.green()));
    labels.Bcoords->setText(QString::number(colour.blue()));
}

void ColorPickerViewController::setColor()
{
    defaults().setFloat(ui->pickerView->currentHue(), keyForHue);
    defaults().setFloat(ui->pickerView->currentSaturation(), keyForSat);
    defaults().setFloat(ui->pickerView->currentBrightness(), keyForBright);
    // The hex label's text, whatever the last touch (or the form) left in it.
    defaults().setString(ui->pickerView->getColorHex(), PreferenceKeys::bg);
    defaults().synchronize();
    ThemeColour::post();
}

void ColorPickerViewController::backgroundColorSet()
{
    ThemeColour::paint(ui->pickerView, GlobalData::sharedGlobalData()->getBackgroundColour());
    ui->pickerView->colorLoaded(ThemeColour::backgroundOf(ui->pickerView));
}

Color ColorPickerViewController::getSelectedColor() const
{
    return ui->pickerView->getColorShown();
}
