// Settings2ViewController: how positions are shown and sent: location and speed units, automatic
// start and whether reports carry the speed.
#include "Settings2ViewController.h"
#include "ui_Settings2View.h"

#include "shared/GlobalFunctions.h"
#include "shared/NotificationNames.h"
#include "shared/PreferenceKeys.h"
#include "shared/PreferenceValues.h"
#include "shared/ThemeColour.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace {

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

// A unit's segment is the one whose index is the unit's stored value; a stored value with no
// segment selects none.
template<typename Unit> Unit storedUnit(const QString &key)
{
    return static_cast<Unit>(defaults().integerForKey(key));
}

template<typename Unit> void storeUnit(const SegmentedControl *control, const QString &key)
{
    const auto unit = static_cast<Unit>(control->selectedSegmentIndex());
    defaults().setInteger(qToUnderlying(unit), key);
}

template<typename Unit> void showUnit(SegmentedControl *control, Unit unit)
{
    control->setSelectedSegmentIndex(qToUnderlying(unit));
}

} // namespace

Settings2ViewController::Settings2ViewController(QObject *parent)
    : ViewController(parent)
    , ui(std::make_unique<Ui::Settings2View>())
{ }

Settings2ViewController::~Settings2ViewController() = default;

void Settings2ViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
    connect(ui->segLocationUnits, &SegmentedControl::activated, this,
        &Settings2ViewController::setLocationUnits);
    connect(ui->swSendAuto, &Switch::clicked, this, &Settings2ViewController::switchSendAuto);
    connect(ui->swSendSpeed, &Switch::clicked, this, &Settings2ViewController::switchSendSpeed);
    connect(ui->segSpeed, &SegmentedControl::activated, this, &Settings2ViewController::setSpeed);
}

void Settings2ViewController::viewDidLoad()
{
    ViewController::viewDidLoad();
    ThemeColour::observe(this, [this] { backgroundColorSet(); });
    loadDefaults();
}

// The controls are set from the program, which runs none of the actions: opening the page
// writes nothing and tells no one.
void Settings2ViewController::loadDefaults()
{
    ThemeColour::post();
    showUnit(ui->segSpeed, storedUnit<SpeedUnit>(PreferenceKeys::speed));
    ui->swSendSpeed->setOn(defaults().boolForKey(PreferenceKeys::sendspeed));
    ui->swSendAuto->setOn(defaults().boolForKey(PreferenceKeys::sendauto));
    showUnit(ui->segLocationUnits, storedUnit<LocationUnits>(PreferenceKeys::locationunits));
}

// The tracking screen re-reads the store when told, so the value is on disk before the news.
void Settings2ViewController::setLocationUnits()
{
    storeUnit<LocationUnits>(ui->segLocationUnits, PreferenceKeys::locationunits);
    defaults().synchronize();
    NotificationCenter::defaultCenter().postNotificationName(NotificationNames::LocationUnitsSet);
}

// Read only when a tracking screen loads: a screen already running keeps its switch as it is.
void Settings2ViewController::switchSendAuto()
{
    defaults().setBool(ui->swSendAuto->isOn(), PreferenceKeys::sendauto);
    defaults().synchronize();
}

// Read with every report, so it needs no notification.
void Settings2ViewController::switchSendSpeed()
{
    defaults().setBool(ui->swSendSpeed->isOn(), PreferenceKeys::sendspeed);
    defaults().synchronize();
}

void Settings2ViewController::setSpeed()
{
    storeUnit<SpeedUnit>(ui->segSpeed, PreferenceKeys::speed);
    defaults().synchronize();
    NotificationCenter::defaultCenter().postNotificationName(NotificationNames::SpeedSet);
}

void Settings2ViewController::backgroundColorSet()
{
    ThemeColour::paint(view(), GlobalData::sharedGlobalData()->getBackgroundColour());
}
