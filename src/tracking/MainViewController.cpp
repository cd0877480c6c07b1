// MainViewController: the tracking screen: position intake, the one-second send scheduler and
// the position report with its counters.
#include "MainViewController.h"
#include "ui_MainView.h"

#include "PositionFormat.h"
#include "PositionReport.h"
#include "SendScheduler.h"

#include "shared/GlobalFunctions.h"
#include "shared/NotificationNames.h"
#include "shared/PreferenceKeys.h"
#include "shared/ReportReply.h"
#include "shared/ThemeColour.h"
#include "shared/TrackingServer.h"

#include "platform/Clock.h"
#include "platform/Device.h"
#include "platform/LocationManager.h"
#include "platform/NotificationCenter.h"
#include "platform/PercentEscapes.h"
#include "platform/UrlConnection.h"
#include "platform/UserDefaults.h"

#include <QPointer>

namespace {

QPointer<LocationManager> locmanager;
TrackingRun run;
const bool bDebug = false; // the debug trace; nothing in the program turns it on

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

} // namespace

MainViewController::MainViewController(QObject *parent)
    : ViewController(parent)
    , ui(std::make_unique<Ui::MainView>())
{ }

MainViewController::~MainViewController()
{
    for (const auto &[connection, buffer] : responseData)
        connection->cancel();
}

void MainViewController::resetRunState()
{
    run = TrackingRun {};
}

LocationManager *MainViewController::locationManager()
{
    return locmanager;
}

void MainViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
    // The form places its labels by hand and nothing resizes them. Pinned to that size, a label
    // whose text changes (the clock, every second) only repaints, instead of also asking the
    // screen for a layout pass that has nothing to do.
    for (QLabel *label : view->findChildren<QLabel *>())
        label->setFixedSize(label->size());
    connect(ui->swOnOff, &Switch::clicked, this, [this] { switchAction(ui->swOnOff); });
    connect(ui->cbSendNow, &QPushButton::clicked, this, [this] { sendNow(); });
}

void MainViewController::viewDidLoad()
{
    version = GlobalData::sharedGlobalData()->ver();
    if (bDebug)
        ui->labWarning->setText(QStringLiteral(""));
    defaults().setString(Device::uniqueIdentifier(), PreferenceKeys::deviceid);
    defaults().synchronize();
    observeSettings();
    ViewController::viewDidLoad();
    ui->labVersion->setText(version);
    lastSend = Clock::nowUtc();
    startLocationService();
    ui->swOnOff->setOn(defaults().boolForKey(PreferenceKeys::sendauto));
    timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("handleTimer"));
    connect(timer, &QTimer::timeout, this, &MainViewController::handleTimer);
    timer->start(1000);
}

// Registering and then posting makes one handler load the current value and follow changes.
void MainViewController::observeSettings()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    ThemeColour::observe(this, [this] { backgroundColorSet(); });
    center.addObserver(
        NotificationNames::SpeedSet, this, [this](const Notification &) { speedSet(); });
    ThemeColour::post();
    center.postNotificationName(NotificationNames::SpeedSet);
    center.addObserver(NotificationNames::LocationUnitsSet, this,
        [this](const Notification &) { locationUnitsSet(); });
    center.postNotificationName(NotificationNames::LocationUnitsSet);
}

void MainViewController::startLocationService()
{
    delete locmanager.data();
    locmanager = new LocationManager(this);
    locmanager->setDelegate(this);
    locmanager->setDesiredAccuracy(LocationManager::kCLLocationAccuracyBest);
    run.iSavedFequency = getFrequency();
    locmanager->startUpdatingLocation();
    if (!locmanager->locationServicesEnabled()) {
        showLocationServicesDisabled();
    } else {
        ui->labMessage->setText(QStringLiteral("Updates are turned off. ") + fillString());
    }
}

qint32 MainViewController::getFrequency() const
{
    return SendScheduler::frequencySeconds(
        static_cast<FrequencyPosition>(defaults().integerForKey(PreferenceKeys::frequency)));
}

QString MainViewController::fillString()
{
    return SendScheduler::fillString(run);
}

bool MainViewController::isSwitchedOn() const
{
    return ui->swOnOff->isOn();
}

void MainViewController::handleTimer()
{
    if (run.IsInBackground && bDebug)
        appendDebug(QStringLiteral("tb."));
    const bool validated = defaults().boolForKey(PreferenceKeys::validated);
    ui->cbSendNow->setEnabled(validated && run.bGPSValid);
    const QDateTime now = Clock::nowUtc();
    ui->labTimeNow->setText(SendScheduler::clockText(now));
    const SendScheduler::Tick tick = SendScheduler::handleTimer(
        run, ui->swOnOff->isOn(), validated, getFrequency(), lastSend, now);
    ui->labMessage->setText(tick.message);
    if (tick.nextSend)
        ui->labNextSend->setText(*tick.nextSend);
    if (tick.sendNow)
        sendData();
}

void MainViewController::switchAction(QObject *sender)
{
    if (sender == ui->swOnOff && !ui->swOnOff->isOn())
        ui->labNextSend->setText(QStringLiteral(""));
}

void MainViewController::sendNow()
{
    if (!run.bGPSValid)
        return;
    ui->labStatus->setText(GlobalData::sharedGlobalData()->connectedToNetwork()
            ? QStringLiteral("Sending manually")
            : QStringLiteral("Stored"));
    sendData();
}

void MainViewController::switchToBackgroundMode(bool background)
{
    run.IsInBackground = background;
    if (Device::respondsToIsMultitaskingSupported() && bDebug)
        appendDebug(background ? QStringLiteral("B.") : QStringLiteral("F."));
    Q_EMIT backgroundModeSwitched(background);
}

void MainViewController::appendDebug(const QString &marker)
{
    ui->labDebug->setText(ui->labDebug->text() + marker);
}

void MainViewController::backgroundColorSet()
{
    ThemeColour::paint(view(), GlobalData::sharedGlobalData()->getBackgroundColour());
}

void MainViewController::speedSet()
{
    iSelectedSpeed = static_cast<SpeedUnit>(defaults().integerForKey(PreferenceKeys::speed));
}

void MainViewController::locationUnitsSet()
{
    run.iLocationUnits
        = static_cast<LocationUnits>(defaults().integerForKey(PreferenceKeys::locationunits));
}

void MainViewController::locationManagerDidUpdateToLocation(
    LocationManager *, const Location &newLocation, const Location &)
{
    run.dLat = newLocation.latitude;
    run.dLong = newLocation.longitude;
    run.iAcc = PositionFormat::cutToInt(newLocation.horizontalAccuracy);
    const double speed = newLocation.speed;
    if (bDebug && run.IsInBackground)
        appendDebug(QStringLiteral("lb."));
    if (const std::optional<QString> text = PositionFormat::speedText(speed, iSelectedSpeed))
        sSpeed = *text;
    ui->labLat->setText(PositionFormat::coordinateText(run.dLat, run.iLocationUnits));
    ui->labLong->setText(PositionFormat::coordinateText(run.dLong, run.iLocationUnits));
    ui->labAccuracy->setText(QStringLiteral("%1m").arg(run.iAcc));
    ui->labSpeed->setText(sSpeed);
    run.bGPSValid = true;
    if (run.IsInBackground) {
        if (bDebug)
            appendDebug(QStringLiteral("xb."));
        handleTimer();
    }
}

void MainViewController::locationManagerDidFailWithError(LocationManager *manager, const QString &)
{
    ui->labLat->setText(QStringLiteral("Location search failed"));
    ui->labLong->setText(QStringLiteral("Location search failed"));
    ui->labAccuracy->setText(QStringLiteral("n/a"));
    ui->labSpeed->setText(QStringLiteral("n/a"));
    run.bGPSValid = false;
    // The system's location service may refuse only once asked (GeoClue answers over D-Bus):
    // that is the same as finding it disabled at start.
    if (manager && !manager->locationServicesEnabled())
        showLocationServicesDisabled();
}

void MainViewController::showLocationServicesDisabled()
{
    ui->labMessage->setText(QStringLiteral("Location Services are disabled"));
    ui->swOnOff->setEnabled(false);
    ui->swOnOff->setOn(false);
}

void MainViewController::sendData()
{
    if (!run.bGPSValid)
        return;
    GlobalData *global = GlobalData::sharedGlobalData();
    const QDateTime now = Clock::nowUtc();
    setStatusColours(false);
    ui->labLastSend->setText(SendScheduler::clockText(now));
    if (global->connectedToNetwork()) {
        ui->labStatus->setText(QStringLiteral("Sending"));
        ++run.iUpdatesSent;
    } else {
        ui->labStatus->setText(QStringLiteral("Stored"));
        ++run.iStored;
    }
    showStatusLine();
    ui->labMessage->setText(QStringLiteral(""));
    run.iFillCount = 0;
    lastSend = now;

    if (!defaults().boolForKey(PreferenceKeys::sendspeed))
        sSpeed = QStringLiteral(".");
    const TrackingServer::PositionReport report
        = PositionReport::next(run, now, defaults().stringForKey(PreferenceKeys::user),
            defaults().stringForKey(PreferenceKeys::deviceid), version, sSpeed);
    const QString text = TrackingServer::positionReportText(global->url(), report);

    if (global->connectedToNetwork()) {
        // A text that cannot be escaped (a broken character in the user name) is not sent;
        // the report then stays pending.
        const QUrl url = urlWithString(addingPercentEscapes(text));
        if (url.isValid())
            responseData[UrlConnection::start(url, this)] = QByteArray();
    }
    run.bFirstSendDone = true;
    NotificationCenter::defaultCenter().postNotificationName(NotificationNames::LocationSent, text);
}

void MainViewController::connectionDidReceiveResponse(UrlConnection *connection, int)
{
    responseData[connection].clear();
}

void MainViewController::connectionDidReceiveData(UrlConnection *connection, const QByteArray &data)
{
    responseData[connection].append(data);
}

void MainViewController::connectionDidFailWithError(UrlConnection *connection, const QString &)
{
    responseData.erase(connection);
}

void MainViewController::connectionDidFinishLoading(UrlConnection *connection)
{
    const auto node = responseData.extract(connection);
    const ReportReply reply = ReportReply::fromBody(node.empty() ? QByteArray() : node.mapped());
    const PositionReport::Reaction reaction = PositionReport::handleReply(run, reply);
    setStatusColours(reaction.failed);
    if (reaction.switchOff)
        ui->swOnOff->setOn(false);
    if (reaction.disable) {
        ui->swOnOff->setEnabled(false);
        ui->cbSendNow->setEnabled(false);
    }
    if (reaction.alert)
        GlobalData::sharedGlobalData()->_showAlert(reply.message);
    ui->labStatus->setText(reply.message);
    if (!reaction.failed)
        NotificationCenter::defaultCenter().postNotificationName(
            NotificationNames::LocationOK, reply.text);
    showStatusLine();
}

void MainViewController::showStatusLine()
{
    ui->labSends->setText(PositionReport::statusLine(run));
}

// Normal: the speed label's background and black text. Failure: white on red.
void MainViewController::setStatusColours(bool failure)
{
    QPalette palette = ui->labStatus->palette();
    if (failure) {
        palette.setColor(QPalette::Window, Qt::red);
        palette.setColor(QPalette::WindowText, Qt::white);
        ui->labStatus->setAutoFillBackground(true);
    } else {
        palette.setColor(QPalette::Window, ui->labSpeed->palette().color(QPalette::Window));
        palette.setColor(QPalette::WindowText, Qt::black);
        ui->labStatus->setAutoFillBackground(ui->labSpeed->autoFillBackground());
    }
    ui->labStatus->setPalette(palette);
}
