// TrackFormats: GPX and GeoJSON of a device's reports.
#include "TrackFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

namespace {

QString coordinateText(double value)
{
    return QString::number(value, 'f', 6);
}

QString pointDescription(const TrackingStore::TrackPoint &p)
{
    QString text = QStringLiteral("id %1, accuracy %2 m, speed %3")
                       .arg(p.id)
                       .arg(p.accuracy)
                       .arg(TrackFormats::printable(p.speed));
    if (p.late)
        text += QStringLiteral(", late");
    return text;
}

QJsonArray position(const TrackingStore::TrackPoint &p)
{
    return QJsonArray { p.longitude, p.latitude };
}

QJsonObject feature(const QJsonObject &geometry, const QJsonObject &properties)
{
    return QJsonObject { { QStringLiteral("type"), QStringLiteral("Feature") },
        { QStringLiteral("geometry"), geometry }, { QStringLiteral("properties"), properties } };
}

} // namespace

QString TrackFormats::isoTime(const QString &when, QChar separator)
{
    if (when.size() != 14)
        return when;
    return QStringLiteral("%1-%2-%3%4%5:%6:%7")
        .arg(when.first(4), when.sliced(4, 2), when.sliced(6, 2), QString(separator),
            when.sliced(8, 2), when.sliced(10, 2), when.sliced(12, 2));
}

QString TrackFormats::printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c.isSurrogate())
            c = QLatin1Char(' ');
    }
    return text;
}

QString TrackFormats::fileName(const QString &device, const QString &extension)
{
    QString safe = device.left(64);
    for (QChar &c : safe) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
            || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        if (!plain)
            c = QLatin1Char('_');
    }
    return QStringLiteral("track-") + safe + QLatin1Char('.') + extension;
}

QByteArray TrackFormats::gpx(
    const QString &device, const QString &name, const QList<TrackingStore::TrackPoint> &points)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("gpx"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.topografix.com/GPX/1/1"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("peregrix-server"));
    xml.writeStartElement(QStringLiteral("trk"));
    xml.writeTextElement(QStringLiteral("name"), printable(name.isEmpty() ? device : name));
    xml.writeTextElement(QStringLiteral("desc"),
        QStringLiteral("Device %1; times are the device's local time").arg(printable(device)));
    xml.writeStartElement(QStringLiteral("trkseg"));
    for (const TrackingStore::TrackPoint &p : points) {
        xml.writeStartElement(QStringLiteral("trkpt"));
        xml.writeAttribute(QStringLiteral("lat"), coordinateText(p.latitude));
        xml.writeAttribute(QStringLiteral("lon"), coordinateText(p.longitude));
        xml.writeTextElement(QStringLiteral("time"), isoTime(p.when));
        xml.writeTextElement(QStringLiteral("desc"), pointDescription(p));
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

QByteArray TrackFormats::geoJson(
    const QString &device, const QString &name, const QList<TrackingStore::TrackPoint> &points)
{
    QJsonArray features;
    QJsonArray line;
    for (const TrackingStore::TrackPoint &p : points)
        line.append(position(p));
    // A line string needs two positions at least.
    if (line.size() >= 2)
        features.append(feature({ { QStringLiteral("type"), QStringLiteral("LineString") },
                                    { QStringLiteral("coordinates"), line } },
            { { QStringLiteral("device"), device }, { QStringLiteral("user"), name } }));
    for (const TrackingStore::TrackPoint &p : points)
        features.append(feature({ { QStringLiteral("type"), QStringLiteral("Point") },
                                    { QStringLiteral("coordinates"), position(p) } },
            { { QStringLiteral("id"), p.id }, { QStringLiteral("time"), isoTime(p.when) },
                { QStringLiteral("accuracy"), p.accuracy }, { QStringLiteral("speed"), p.speed },
                { QStringLiteral("late"), p.late }, { QStringLiteral("received"), p.received } }));
    const QJsonObject collection { { QStringLiteral("type"), QStringLiteral("FeatureCollection") },
        { QStringLiteral("features"), features } };
    return QJsonDocument(collection).toJson(QJsonDocument::Compact);
}
