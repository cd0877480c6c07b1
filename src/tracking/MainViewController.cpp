// MainViewController: the tracking screen: position intake, the one-second send scheduler and
// the position report with its counters.
#include "MainViewController.h"
#include "ui_MainView.h"

#include "PositionFormat.h"

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

#include <QLocale>
#include <QPointer>

namespace {

// Position intake
QPointer<LocationManager> locmanager;
double dLat = 0.0;
double dLong = 0.0;
qint32 iAcc = 0;
bool bGPSValid = false;
LocationUnits iLocationUnits = LocationUnits::DecimalDegrees;

// Scheduler
bool bFirstSendDone = false;
bool IsInBackground = false;
bool bDebug = false; // the debug trace; nothing in the program turns it on
qint32 iSavedFequency = 0;
qint32 iFillCount = 0;
qint32 iInc = 1;

// Position reports of this run
qint32 iUpdatesSent = 0;
qint32 iUpdatesOK = 0;
qint32 iUpdatesFailed = 0;
qint32 iStored = 0;
qint32 Id = 0;

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

QString clockText(const QDateTime &time)
{
    return QLocale::c().toString(time.toLocalTime(), QStringLiteral("HH:mm:ss"));
}

} // namespace

MainViewController::MainViewController(QObject *parent)
    : ViewController(parent)
    , ui(std::make_unique<Ui::MainView>())
{
}

MainViewController::~MainViewController()
{
    for (const auto &[connection, buffer] : responseData)
        connection->cancel();
}

void MainViewController::resetRunState()
{
    dLat = dLong = 0.0;
    iAcc = 0;
    bGPSValid = false;
    iLocationUnits = LocationUnits::DecimalDegrees;
    bFirstSendDone = IsInBackground = false;
    iSavedFequency = iFillCount = 0;
    iInc = 1;
    iUpdatesSent = iUpdatesOK = iUpdatesFailed = iStored = Id = 0;
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
    center.addObserver(NotificationNames::SpeedSet, this, [this](const Notification &) {
        speedSet();
    });
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
    iSavedFequency = getFrequency();
    locmanager->startUpdatingLocation();
    if (!locmanager->locationServicesEnabled()) {
        showLocationServicesDisabled();
    } else {
        ui->labMessage->setText(QStringLiteral("Updates are turned off. ") + fillString());
    }
}

qint32 MainViewController::getFrequency() const
{
    switch (static_cast<FrequencyPosition>(defaults().integerForKey(PreferenceKeys::frequency))) {
    case FrequencyPosition::Every15s:
        return 15;
    case FrequencyPosition::Every30s:
        return 30;
    case FrequencyPosition::Every1m:
        return 60;
    case FrequencyPosition::Every2m:
        return 120;
    case FrequencyPosition::Every5m:
        return 300;
    case FrequencyPosition::Every10m:
        return 600;
    default:
        return 0;
    }
}

QString MainViewController::fillString()
{
    iFillCount += iInc;
    if (iFillCount > 4)
        iInc = -1;
    if (iFillCount <= 0)
        iInc = 1;
    return iFillCount > 0 ? QString(iFillCount, QLatin1Char('.')) : QStringLiteral("");
}

bool MainViewController::isSwitchedOn() const
{
    return ui->swOnOff->isOn();
}

void MainViewController::handleTimer()
{
    if (IsInBackground && bDebug)
        appendDebug(QStringLiteral("tb."));
    const bool validated = defaults().boolForKey(PreferenceKeys::validated);
    ui->cbSendNow->setEnabled(validated && bGPSValid);
    const QDateTime now = Clock::nowUtc();
    ui->labTimeNow->setText(clockText(now));

    if (!ui->swOnOff->isOn() || iSavedFequency <= 0) {
        ui->labMessage->setText((iSavedFequency == 0 ? QStringLiteral("Update frequency is not set! ")
                                                    : QStringLiteral("Updates are turned off. "))
                               + fillString());
        // A frequency that could not be read stays unread until the switch is on and a valid
        // frequency is read; read it again so that a corrected setting is taken up.
        if (iSavedFequency <= 0)
            iSavedFequency = getFrequency();
        return;
    }

    ui->labMessage->setText(QStringLiteral(""));
    iSavedFequency = getFrequency();
    const QDateTime nextSend = bFirstSendDone ? lastSend.addSecs(iSavedFequency) : lastSend;
    const QString nextText = bFirstSendDone ? clockText(nextSend) : QStringLiteral("asap");
    const bool inMinutes = iSavedFequency > 59;
    const qint32 count = inMinutes ? iSavedFequency / 60 : iSavedFequency;
    const QString unit = !inMinutes ? QStringLiteral("secs")
        : count == 1                ? QStringLiteral("min")
                                    : QStringLiteral("mins");
    ui->labNextSend->setText(QStringLiteral("%1 (every %2 %3)").arg(nextText).arg(count).arg(unit));

    if (!validated) {
        ui->labMessage->setText(QStringLiteral("User Name has not been validated. ")
                               + fillString());
    } else if (!bGPSValid) {
        ui->labMessage->setText(QStringLiteral("No GPS data. ") + fillString());
    } else if (nextSend.msecsTo(now) > 0 || !bFirstSendDone) {
        sendData();
    }
}

void MainViewController::switchAction(QObject *sender)
{
    if (sender == ui->swOnOff && !ui->swOnOff->isOn())
        ui->labNextSend->setText(QStringLiteral(""));
}

void MainViewController::sendNow()
{
    if (!bGPSValid)
        return;
    ui->labStatus->setText(GlobalData::sharedGlobalData()->connectedToNetwork()
                              ? QStringLiteral("Sending manually")
                              : QStringLiteral("Stored"));
    sendData();
}

void MainViewController::switchToBackgroundMode(bool background)
{
    IsInBackground = background;
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
    iLocationUnits
        = static_cast<LocationUnits>(defaults().integerForKey(PreferenceKeys::locationunits));
}

void MainViewController::locationManagerDidUpdateToLocation(LocationManager *,
                                                            const Location &newLocation,
                                                            const Location &)
{
    dLat = newLocation.latitude;
    dLong = newLocation.longitude;
    iAcc = PositionFormat::cutToInt(newLocation.horizontalAccuracy);
    const double speed = newLocation.speed;
    if (bDebug && IsInBackground)
        appendDebug(QStringLiteral("lb."));
    if (const std::optional<QString> text = PositionFormat::speedText(speed, iSelectedSpeed))
        sSpeed = *text;
    ui->labLat->setText(PositionFormat::coordinateText(dLat, iLocationUnits));
    ui->labLong->setText(PositionFormat::coordinateText(dLong, iLocationUnits));
    ui->labAccuracy->setText(QStringLiteral("%1m").arg(iAcc));
    ui->labSpeed->setText(sSpeed);
    bGPSValid = true;
    if (IsInBackground) {
        if (bDebug)
            appendDebug(QStringLiteral("xb."));
        handleTimer();
    }
}

void MainViewController::locationManagerDidFailWithError(LocationManager *manager,
                                                         const QString &)
{
    ui->labLat->setText(QStringLiteral("Location search failed"));
    ui->labLong->setText(QStringLiteral("Location search failed"));
    ui->labAccuracy->setText(QStringLiteral("n/a"));
    ui->labSpeed->setText(QStringLiteral("n/a"));
    bGPSValid = false;
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
    if (!bGPSValid)
        return;
    GlobalData *global = GlobalData::sharedGlobalData();
    const QDateTime now = Clock::nowUtc();
    setStatusColours(false);
    ui->labLastSend->setText(clockText(now));
    if (global->connectedToNetwork()) {
        ui->labStatus->setText(QStringLiteral("Sending"));
        ++iUpdatesSent;
    } else {
        ui->labStatus->setText(QStringLiteral("Stored"));
        ++iStored;
    }
    showStatusLine();
    ui->labMessage->setText(QStringLiteral(""));
    iFillCount = 0;
    lastSend = now;

    TrackingServer::PositionReport report;
    report.when = QLocale(QLocale::English, QLocale::UnitedKingdom)
                      .toString(now.toLocalTime(), QStringLiteral("yyyyMMddHHmmss"));
    report.user = defaults().stringForKey(PreferenceKeys::user);
    report.device = defaults().stringForKey(PreferenceKeys::deviceid);
    if (!defaults().boolForKey(PreferenceKeys::sendspeed))
        sSpeed = QStringLiteral(".");
    report.id = ++Id;
    report.latitude = dLat;
    report.longitude = dLong;
    report.version = version;
    report.accuracy = iAcc;
    report.speed = sSpeed;
    const QString text = TrackingServer::positionReportText(global->url(), report);

    if (global->connectedToNetwork()) {
        // A text that cannot be escaped (a broken character in the user name) is not sent;
        // the report then stays pending.
        const QUrl url = urlWithString(addingPercentEscapes(text));
        if (url.isValid())
            responseData[UrlConnection::start(url, this)] = QByteArray();
    }
    bFirstSendDone = true;
    NotificationCenter::defaultCenter().postNotificationName(NotificationNames::LocationSent, text);
}

void MainViewController::connectionDidReceiveResponse(UrlConnection *connection, int)
{
    responseData[connection].clear();
}

void MainViewController::connectionDidReceiveData(UrlConnection *connection,
                                                  const QByteArray &data)
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
    if (reply.kind == ReportReply::Kind::Acknowledged) {
        ++iUpdatesOK;
        bFirstSendDone = true;
        setStatusColours(false);
        ui->labStatus->setText(reply.message);
        NotificationCenter::defaultCenter().postNotificationName(NotificationNames::LocationOK,
                                                                 reply.text);
    } else {
        ++iUpdatesFailed;
        setStatusColours(true);
        if (reply.kind == ReportReply::Kind::Stop || reply.kind == ReportReply::Kind::Refusal)
            ui->swOnOff->setOn(false);
        if (reply.kind == ReportReply::Kind::Stop) {
            ui->swOnOff->setEnabled(false);
            ui->cbSendNow->setEnabled(false);
        }
        if (reply.kind != ReportReply::Kind::Failure)
            GlobalData::sharedGlobalData()->_showAlert(reply.message);
        ui->labStatus->setText(reply.message);
    }
    showStatusLine();
}

void MainViewController::showStatusLine()
{
    const qint32 pending = iUpdatesSent - iUpdatesOK - iUpdatesFailed;
    ui->labSends->setText(QStringLiteral("%1 Sends : %2 OK : %3 Failed : %4 Pending : %5 Stored")
                             .arg(iUpdatesSent)
                             .arg(iUpdatesOK)
                             .arg(iUpdatesFailed)
                             .arg(pending)
                             .arg(iStored));
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
