// MainViewController: the tracking screen: position intake, the one-second send scheduler and
// the position report with its counters.
#pragma once

#include "platform/LocationManagerDelegate.h"
#include "platform/UrlConnectionDelegate.h"
#include "platform/ViewController.h"

#include "shared/PreferenceValues.h"

#include <QDateTime>
#include <QTimer>

#include <map>
#include <memory>

namespace Ui {
class MainView;
}

class MainViewController : public ViewController,
                           public LocationManagerDelegate,
                           public UrlConnectionDelegate
{
    Q_OBJECT
public:
    explicit MainViewController(QObject *parent = nullptr);
    ~MainViewController() override;

    // Scheduler
    void handleTimer();
    [[nodiscard]] qint32 getFrequency() const;
    QString fillString();
    [[nodiscard]] bool isSwitchedOn() const;
    void switchAction(QObject *sender);
    void sendNow();
    void switchToBackgroundMode(bool background);
    void backgroundColorSet();

    // Position intake
    void locationManagerDidUpdateToLocation(LocationManager *manager, const Location &newLocation,
        const Location &oldLocation) override;
    void locationManagerDidFailWithError(LocationManager *manager, const QString &error) override;
    void locationUnitsSet();
    void speedSet();

    // Position report
    void sendData();
    void connectionDidReceiveResponse(UrlConnection *connection, int statusCode) override;
    void connectionDidReceiveData(UrlConnection *connection, const QByteArray &data) override;
    void connectionDidFinishLoading(UrlConnection *connection) override;
    void connectionDidFailWithError(UrlConnection *connection, const QString &error) override;

    // Starts a new run as at launch: counters, report id and flags back to their first values.
    static void resetRunState();
    // The location manager of the process, once a tracking screen has loaded.
    [[nodiscard]] static LocationManager *locationManager();

Q_SIGNALS:
    // Every background switch that reaches the screen, whether or not the state changed.
    void backgroundModeSwitched(bool background);

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    void observeSettings();
    void startLocationService();
    void showLocationServicesDisabled();
    void appendDebug(const QString &marker);
    void showStatusLine();
    void setStatusColours(bool failure);

    std::unique_ptr<Ui::MainView> ui;
    QDateTime lastSend; // in UTC: the tick adds to it and compares it every second
    QString version;
    SpeedUnit iSelectedSpeed = SpeedUnit::MilesPerHour;
    QString sSpeed;
    std::map<UrlConnection *, QByteArray> responseData; // one reply buffer per exchange
    QTimer *timer = nullptr;
};
