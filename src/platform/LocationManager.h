// LocationManager: the device's location service, reporting positions to a delegate.
#pragma once

#include "Location.h"

#include <QGeoPositionInfoSource>
#include <QObject>
#include <QPointer>

class LocationManagerDelegate;

class LocationManager : public QObject
{
    Q_OBJECT
public:
    static constexpr double kCLLocationAccuracyBest = -1.0;

    // The position source of the process, from the command line option -location: "system"
    // (the default), "nmea:FILE", "serial:DEVICE[:BAUD]" or "gpsd[:HOST[:PORT]]".
    static void setSourceOption(const QString &option);
    [[nodiscard]] static QString sourceOption();

    // A manager on the source that the -location option names.
    explicit LocationManager(QObject *parent = nullptr);
    // A manager on a given source, which it takes over; null means no source can be had.
    LocationManager(QGeoPositionInfoSource *source, QObject *parent);

    void setDelegate(LocationManagerDelegate *delegate) { m_delegate = delegate; }
    void setDesiredAccuracy(double accuracy);
    void startUpdatingLocation();

    // False when there is no source, or the source refused access.
    [[nodiscard]] bool locationServicesEnabled() const;

    [[nodiscard]] QGeoPositionInfoSource *source() const { return m_source; }

private:
    void onPositionUpdated(const QGeoPositionInfo &info);
    void onErrorOccurred(QGeoPositionInfoSource::Error error);

    QPointer<QGeoPositionInfoSource> m_source;
    LocationManagerDelegate *m_delegate = nullptr;
    Location m_previous;
    bool m_accessDenied = false;
};
