// PositionSources: makes the position source that a -location option names.
#include "PositionSources.h"

#include "GpsdPositionSource.h"
#include "NmeaEpochReader.h"
#include "NmeaReplaySource.h"

#include <QGuiApplication>
#include <QNmeaPositionInfoSource>
#include <QSerialPort>

namespace {

struct Option
{
    QString kind;
    QStringList parts; // what follows the kind, split at ':'
};

Option split(const QString &option)
{
    const qsizetype colon = option.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return { option, {} };
    return { option.left(colon), option.mid(colon + 1).split(QLatin1Char(':')) };
}

QGeoPositionInfoSource *serialSource(const QString &device, qint32 baudRate)
{
    auto *port = new QSerialPort(device);
    port->setBaudRate(baudRate);
    if (!port->open(QIODevice::ReadOnly)) {
        qWarning("Cannot open the GPS receiver at %s: %s", qPrintable(device),
            qPrintable(port->errorString()));
        delete port;
        return nullptr;
    }
    auto *source = new QNmeaPositionInfoSource(QNmeaPositionInfoSource::RealTimeMode);
    source->setUserEquivalentRangeError(NmeaEpochReader::userEquivalentRangeError);
    source->setDevice(port);
    port->setParent(source);
    return source;
}

// GeoClue knows an application by its desktop file: that is the name its configuration and the
// user's agent go by. Left alone, Qt's plugin would send the application name.
QGeoPositionInfoSource *systemSource()
{
    QVariantMap parameters;
    if (!QGuiApplication::desktopFileName().isEmpty())
        parameters.insert(QStringLiteral("desktopId"), QGuiApplication::desktopFileName());
    return QGeoPositionInfoSource::createSource(QStringLiteral("geoclue2"), parameters, nullptr);
}

} // namespace

bool PositionSources::isValidOption(const QString &option)
{
    const Option o = split(option);
    if (o.kind == QLatin1String("system"))
        return o.parts.isEmpty();
    if (o.kind == QLatin1String("nmea"))
        return o.parts.size() >= 1 && !o.parts.join(QLatin1Char(':')).isEmpty();
    if (o.kind == QLatin1String("serial")) {
        bool ok = true;
        if (o.parts.size() == 2)
            ok = o.parts[1].toInt() > 0;
        return ok && (o.parts.size() == 1 || o.parts.size() == 2) && !o.parts[0].isEmpty();
    }
    if (o.kind == QLatin1String("gpsd")) {
        bool ok = true;
        if (o.parts.size() == 2)
            ok = o.parts[1].toUShort() > 0;
        return ok && o.parts.size() <= 2 && (o.parts.isEmpty() || !o.parts[0].isEmpty());
    }
    return false;
}

QGeoPositionInfoSource *PositionSources::create(const QString &option)
{
    if (!isValidOption(option))
        return nullptr;
    const Option o = split(option);
    if (o.kind == QLatin1String("system"))
        return systemSource();
    if (o.kind == QLatin1String("nmea"))
        return new NmeaReplaySource(o.parts.join(QLatin1Char(':')));
    if (o.kind == QLatin1String("serial"))
        return serialSource(o.parts[0], o.parts.size() == 2 ? o.parts[1].toInt() : 9600);
    return new GpsdPositionSource(
        o.parts.value(0, QStringLiteral("localhost")), o.parts.value(1, QStringLiteral("2947")));
}
