// Settings1ViewController: settings page 1: the account (user name, its validation, device id
// and password, undo) and the update frequency.
#include "Settings1ViewController.h"
#include "ui_Settings1View.h"

#include "AccountPageState.h"
#include "AccountValidation.h"

#include "shared/GlobalFunctions.h"
#include "shared/PreferenceKeys.h"
#include "shared/PreferenceValues.h"
#include "shared/ThemeColour.h"

#include "platform/FittedText.h"
#include "platform/UserDefaults.h"

#include <cmath>
#include <utility>

namespace {

AccountPageState state;

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

FrequencyPosition storedFrequency()
{
    return static_cast<FrequencyPosition>(defaults().integerForKey(PreferenceKeys::frequency));
}

// The slider's stops are the positions themselves.
float sliderValue(FrequencyPosition position)
{
    return float(qToUnderlying(position));
}

} // namespace

Settings1ViewController::Settings1ViewController(QObject *parent)
    : ViewController(parent)
    , ui(std::make_unique<Ui::Settings1View>())
{ }

Settings1ViewController::~Settings1ViewController() = default;

void Settings1ViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
    connect(
        ui->txtUser, &QLineEdit::textEdited, this, [this] { usernameEditingChanged(ui->txtUser); });
    connect(ui->txtUser, &QLineEdit::returnPressed, this,
        [this] { textFieldCancelKeyboard(ui->txtUser); });
    connect(ui->cbValidate, &QPushButton::clicked, this, [this] { validateUser(); });
    connect(ui->cbForgotten, &QPushButton::clicked, this, [this] { forgottenUser(); });
    connect(ui->cbUseTest, &QPushButton::clicked, this, [this] { useTest(); });
    connect(ui->cbUndo, &QPushButton::clicked, this, [this] { undoChanges(); });
    connect(ui->frequencySlider, &Slider::sliderMoved, this,
        [this] { sliderValueChanged(ui->frequencySlider); });
    connect(ui->cbSetFrequency, &QPushButton::clicked, this, [this] { setFrequency(); });
    for (QPushButton *button : { ui->cb15s, ui->cb30s, ui->cb1m, ui->cb2m, ui->cb5m, ui->cb10m })
        connect(button, &QPushButton::clicked, this, [this, button] { timeButtonClicked(button); });
}

void Settings1ViewController::viewDidLoad()
{
    ui->aivActivity->hide();
    ui->frequencySlider->setMinimumValue(0.0f);
    ui->frequencySlider->setMaximumValue(5.0f);
    ui->frequencySlider->setSingleStep(1.0f); // from the keyboard, stop by stop
    ThemeColour::observe(this, [this] { backgroundColorSet(); });
    ViewController::viewDidLoad();
    loadDefaults();
}

void Settings1ViewController::loadDefaults()
{
    state.validated = defaults().boolForKey(PreferenceKeys::validated);
    ui->txtUser->setText(defaults().stringForKey(PreferenceKeys::user));
    state.iFreqSliderPos = storedFrequency();
    const QString device = defaults().stringForKey(PreferenceKeys::deviceid);
    ui->labDeviceId->setText(device);
    ui->labPassword->setText(device.right(8)); // a shorter identifier is shown whole
    ui->frequencySlider->setValue(sliderValue(state.iFreqSliderPos));
    ui->cbUndo->setEnabled(false);
    ui->cbSetFrequency->setEnabled(false);
    ui->cbValidate->setEnabled(false);
    const QString name = ui->txtUser->text();
    if (name.isEmpty())
        return;
    if (state.validated && !AccountValidation::isTestUser(name) && name != QLatin1String("?"))
        disallowTest();
    else
        ui->labUser->hide();
}

void Settings1ViewController::validateUser()
{
    ui->txtUser->clearFocus();
    // The spinner's show and hide are queued in order, so it always ends hidden; while the
    // request below blocks, neither is drawn.
    QMetaObject::invokeMethod(this, &Settings1ViewController::spinBegin, Qt::QueuedConnection);
    const AccountValidation::Outcome outcome
        = AccountValidation::validateUser(ui->txtUser->text(), ui->labDeviceId->text());
    if (outcome.nameFromServer)
        ui->txtUser->setText(*outcome.nameFromServer);
    if (!outcome.alert.isNull())
        GlobalData::sharedGlobalData()->_showAlert(outcome.alert);
    apply(outcome);
    UndoEnabled();
    QMetaObject::invokeMethod(this, &Settings1ViewController::spinEnd, Qt::QueuedConnection);
}

void Settings1ViewController::apply(const AccountValidation::Outcome &outcome)
{
    switch (outcome.kind) {
    case AccountValidation::Outcome::Kind::Success:
        FittedText::setText(ui->labValidated, QStringLiteral("Validated %1").arg(outcome.text));
        disallowTest();
        defaults().setBool(true, PreferenceKeys::validated);
        defaults().setString(outcome.text, PreferenceKeys::user);
        defaults().synchronize();
        break;
    case AccountValidation::Outcome::Kind::Failure:
        if (outcome.text == QLatin1String("?")) {
            FittedText::setText(ui->labValidated, QStringLiteral("Not previously registered."));
            ui->txtUser->setText(QStringLiteral(""));
        } else {
            FittedText::setText(
                ui->labValidated, QStringLiteral("Not Validated: %1").arg(outcome.text));
        }
        showEntryMode();
        defaults().setBool(false, PreferenceKeys::validated);
        defaults().synchronize();
        break;
    case AccountValidation::Outcome::Kind::Error:
        FittedText::setText(ui->labValidated, outcome.text);
        if (ui->txtUser->text() == QLatin1String("?")) {
            ui->cbValidate->setEnabled(false);
            ui->txtUser->setText(QStringLiteral(""));
        }
        break;
    }
}

void Settings1ViewController::showEntryMode()
{
    ui->txtUser->show();
    ui->cbUseTest->show();
    ui->cbValidate->show();
    ui->labValidated->show();
    ui->labUser->hide();
}

void Settings1ViewController::disallowTest()
{
    ui->txtUser->hide();
    ui->cbUseTest->hide();
    ui->cbValidate->hide();
    ui->labValidated->hide();
    FittedText::setText(ui->labUser, ui->txtUser->text());
    ui->labUser->show();
}

void Settings1ViewController::forgottenUser()
{
    ui->txtUser->setText(QStringLiteral("?"));
    FittedText::setText(ui->labValidated, QStringLiteral("Checking..."));
    validateUser();
    UndoEnabled();
}

void Settings1ViewController::useTest()
{
    ui->txtUser->setText(QStringLiteral("Test"));
    defaults().setBool(true, PreferenceKeys::validated);
    defaults().setString(ui->txtUser->text(), PreferenceKeys::user);
    defaults().synchronize();
    FittedText::setText(ui->labValidated, QStringLiteral("Validated %1").arg(ui->txtUser->text()));
    UndoEnabled();
}

bool Settings1ViewController::UserChanged()
{
    const QString text = ui->txtUser->text();
    bool changed = text != defaults().stringForKey(PreferenceKeys::user);
    if (text.size() <= 2)
        changed = false;
    state.bUserChanged = changed;
    ui->cbValidate->setEnabled(changed);
    return changed;
}

void Settings1ViewController::UndoEnabled()
{
    // The frequency is asked first; the name only while the frequency is unchanged.
    const bool pending = FreqChanged() || UserChanged();
    ui->cbUndo->setEnabled(pending);
}

void Settings1ViewController::userInfoChanged()
{
    UndoEnabled();
}

void Settings1ViewController::undoChanges()
{
    loadDefaults();
}

void Settings1ViewController::usernameEditingChanged(QLineEdit *field)
{
    const QString text = field->text();
    if (text.size() > maxUserNameLength) {
        // Never cut between the two halves of a character outside the basic plane: half a
        // character could not be sent.
        qsizetype keep = maxUserNameLength;
        if (text[keep - 1].isHighSurrogate())
            --keep;
        field->setText(text.left(keep));
        field->clearFocus();
    }
    userInfoChanged();
}

void Settings1ViewController::textFieldCancelKeyboard(QLineEdit *field)
{
    field->clearFocus();
    userInfoChanged();
}

void Settings1ViewController::spinBegin()
{
    ui->aivActivity->show();
    ui->aivActivity->startAnimating();
}

void Settings1ViewController::spinEnd()
{
    ui->aivActivity->hide();
    ui->aivActivity->stopAnimating();
}

void Settings1ViewController::backgroundColorSet()
{
    ThemeColour::paint(view(), GlobalData::sharedGlobalData()->getBackgroundColour());
    const QColor viewColour = ThemeColour::backgroundOf(view());
    for (QPushButton *button : { ui->cb15s, ui->cb30s, ui->cb1m, ui->cb2m, ui->cb5m, ui->cb10m })
        ThemeColour::paintButton(button, viewColour);
}

void Settings1ViewController::timeButtonClicked(QObject *sender)
{
    const std::pair<const QPushButton *, FrequencyPosition> shortcuts[] = {
        { ui->cb15s, FrequencyPosition::Every15s },
        { ui->cb30s, FrequencyPosition::Every30s },
        { ui->cb1m, FrequencyPosition::Every1m },
        { ui->cb2m, FrequencyPosition::Every2m },
        { ui->cb5m, FrequencyPosition::Every5m },
        { ui->cb10m, FrequencyPosition::Every10m },
    };
    for (const auto &[button, position] : shortcuts) {
        if (sender == button) {
            ui->frequencySlider->setValue(sliderValue(position));
            break;
        }
    }
    UndoEnabled();
}

void Settings1ViewController::sliderValueChanged(QObject *sender)
{
    if (sender == ui->frequencySlider) // halves away from zero: 2.5 gives 3
        ui->frequencySlider->setValue(std::round(ui->frequencySlider->value()));
    UndoEnabled();
}

void Settings1ViewController::setFrequency()
{
    const auto position
        = static_cast<FrequencyPosition>(qint32(std::trunc(ui->frequencySlider->value())));
    state.iFreqSliderPos = position;
    defaults().setInteger(qToUnderlying(position), PreferenceKeys::frequency);
    defaults().synchronize();
    UndoEnabled();
}

bool Settings1ViewController::FreqChanged()
{
    const float stored = sliderValue(storedFrequency());
    const bool changed = !(stored == ui->frequencySlider->value());
    state.bFreqChanged = changed;
    ui->cbSetFrequency->setEnabled(changed);
    return changed;
}
