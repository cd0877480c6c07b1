// TrackingScreen: a tracking screen opened as at launch for a test to drive: a new run, its view
// loaded and set up, and its outlets found by the names MainView.ui gives them.
#pragma once

#include "Outlet.h"

#include "tracking/MainViewController.h"

#include "platform/LocationManager.h"
#include "platform/widgets/Switch.h"

#include <QGeoPositionInfoSource>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

class TrackingScreen : public MainViewController
{
public:
    // What keeps running on its own once the screen is open. By default neither the screen's
    // one-second timer nor its position source: the test decides when a tick or a position
    // comes.
    enum Running { NothingRuns, TimerRuns, SourceRuns };

    explicit TrackingScreen(Running running = NothingRuns)
        : ui { opened(running) }
    { }

    // A position as the location service delivers it.
    void position(double latitude, double longitude, double accuracy = 65.9, double speed = 10.0)
    {
        Location l;
        l.latitude = latitude;
        l.longitude = longitude;
        l.horizontalAccuracy = accuracy;
        l.speed = speed;
        locationManagerDidUpdateToLocation(locationManager(), l, {});
    }

    // Stops the one-second timer of any tracking screen, this one or one a container made.
    static void stopTimer(MainViewController &screen)
    {
        screen.findChild<QTimer *>(QStringLiteral("handleTimer"))->stop();
    }

    // The outlets by their names in MainView.ui. (The screen's own form is private to it.)
    struct Outlets
    {
        QWidget *view;
        Switch *swOnOff = outlet<Switch>(view, "swOnOff");
        QPushButton *cbSendNow = outlet<QPushButton>(view, "cbSendNow");
        QLabel *labLat = outlet<QLabel>(view, "labLat");
        QLabel *labLong = outlet<QLabel>(view, "labLong");
        QLabel *labAccuracy = outlet<QLabel>(view, "labAccuracy");
        QLabel *labSpeed = outlet<QLabel>(view, "labSpeed");
        QLabel *labTimeNow = outlet<QLabel>(view, "labTimeNow");
        QLabel *labNextSend = outlet<QLabel>(view, "labNextSend");
        QLabel *labMessage = outlet<QLabel>(view, "labMessage");
        QLabel *labLastSend = outlet<QLabel>(view, "labLastSend");
        QLabel *labStatus = outlet<QLabel>(view, "labStatus");
        QLabel *labSends = outlet<QLabel>(view, "labSends");
        QLabel *labVersion = outlet<QLabel>(view, "labVersion");
        QLabel *labWarning = outlet<QLabel>(view, "labWarning");
        QLabel *labDebug = outlet<QLabel>(view, "labDebug");
    };
    const Outlets ui;

private:
    QWidget *opened(Running running)
    {
        resetRunState();
        QWidget *loaded = view();
        if (running != TimerRuns)
            stopTimer(*this);
        if (QGeoPositionInfoSource *source = locationManager()->source();
            source && running != SourceRuns)
            source->stopUpdates();
        return loaded;
    }
};
