// LocationManager: the device's location service, reporting positions to a delegate.
#include "LocationManager.h"

#include "LocationManagerDelegate.h"
#include "PositionSources.h"

#include <QtNumeric>

namespace {

QString sourceOptionValue = QStringLiteral("system");

double attributeOr(
    const QGeoPositionInfo &info, QGeoPositionInfo::Attribute attribute, double absent)
{
    if (!info.hasAttribute(attribute))
        return absent;
    const double value = info.attribute(attribute);
    return qIsFinite(value) ? value : absent;
}

QString errorText(QGeoPositionInfoSource::Error error)
{
    switch (error) {
    case QGeoPositionInfoSource::AccessError:
        return QStringLiteral("Access to the location source was refused");
    case QGeoPositionInfoSource::ClosedError:
        return QStringLiteral("The location source was closed");
    case QGeoPositionInfoSource::UpdateTimeoutError:
        return QStringLiteral("No position could be found in time");
    default:
        return QStringLiteral("The location source failed");
    }
}

} // namespace

void LocationManager::setSourceOption(const QString &option)
{
    sourceOptionValue = option;
}

QString LocationManager::sourceOption()
{
    return sourceOptionValue;
}

LocationManager::LocationManager(QObject *parent)
    : LocationManager(PositionSources::create(sourceOptionValue), parent)
{ }

LocationManager::LocationManager(QGeoPositionInfoSource *source, QObject *parent)
    : QObject(parent)
    , m_source(source)
{
    if (!m_source)
        return;
    m_source->setParent(this);
    connect(m_source, &QGeoPositionInfoSource::positionUpdated, this,
        &LocationManager::onPositionUpdated);
    connect(
        m_source, &QGeoPositionInfoSource::errorOccurred, this, &LocationManager::onErrorOccurred);
}

void LocationManager::setDesiredAccuracy(double accuracy)
{
    if (m_source && accuracy <= kCLLocationAccuracyBest)
        m_source->setPreferredPositioningMethods(QGeoPositionInfoSource::AllPositioningMethods);
}

void LocationManager::startUpdatingLocation()
{
    if (!m_source)
        return;
    m_source->setUpdateInterval(0); // every position the source has
    m_source->startUpdates();
    if (m_source->error() == QGeoPositionInfoSource::AccessError)
        m_accessDenied = true;
}

bool LocationManager::locationServicesEnabled() const
{
    return m_source && !m_accessDenied;
}

void LocationManager::onPositionUpdated(const QGeoPositionInfo &info)
{
    const QGeoCoordinate c = info.coordinate();
    if (!c.isValid())
        return;
    Location location;
    location.latitude = c.latitude();
    location.longitude = c.longitude();
    location.horizontalAccuracy = attributeOr(info, QGeoPositionInfo::HorizontalAccuracy, -1.0);
    location.speed = attributeOr(info, QGeoPositionInfo::GroundSpeed, -1.0);
    location.timestamp = info.timestamp();
    const Location previous = std::exchange(m_previous, location);
    if (m_delegate)
        m_delegate->locationManagerDidUpdateToLocation(this, location, previous);
}

void LocationManager::onErrorOccurred(QGeoPositionInfoSource::Error error)
{
    if (error == QGeoPositionInfoSource::NoError)
        return;
    if (error == QGeoPositionInfoSource::AccessError)
        m_accessDenied = true;
    if (m_delegate)
        m_delegate->locationManagerDidFailWithError(this, errorText(error));
}
