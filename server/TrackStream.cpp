// TrackStream: a track download made a chunk of reports at a time.
#include "TrackStream.h"

#include "TrackFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

QByteArray jsonNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toLatin1();
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray pointFeature(const TrackingStore::TrackPoint &p)
{
    return compact({ { QStringLiteral("type"), QStringLiteral("Feature") },
        { QStringLiteral("geometry"),
            QJsonObject { { QStringLiteral("type"), QStringLiteral("Point") },
                { QStringLiteral("coordinates"), QJsonArray { p.longitude, p.latitude } } } },
        { QStringLiteral("properties"),
            QJsonObject { { QStringLiteral("id"), p.id },
                { QStringLiteral("time"), TrackFormats::isoTime(p.when) },
                { QStringLiteral("accuracy"), p.accuracy }, { QStringLiteral("speed"), p.speed },
                { QStringLiteral("late"), p.late },
                { QStringLiteral("received"), p.received } } } });
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

} // namespace

TrackStream::TrackStream(TrackingStore &store, Format format, Track track)
    : m_store(store)
    , m_format(format)
    , m_track(std::move(track))
{
    m_xmlOut.open(QIODevice::WriteOnly);
    m_xml.setDevice(&m_xmlOut);
    m_xml.setAutoFormatting(true);
}

QByteArray TrackStream::next()
{
    switch (m_part) {
    case Part::Head:
        // A line string needs two positions at least.
        m_part = m_format == Format::GeoJson && m_track.reports >= 2 ? Part::Line : Part::Points;
        return head();
    case Part::Line: {
        const QList<TrackingStore::TrackPoint> chunk = nextChunk();
        if (!chunk.isEmpty())
            return line(chunk);
        m_part = Part::Points;
        m_after = {};
        m_firstInPart = true;
        return lineEnd();
    }
    case Part::Points: {
        const QList<TrackingStore::TrackPoint> chunk = nextChunk();
        if (!chunk.isEmpty())
            return points(chunk);
        m_part = Part::Done;
        return tail();
    }
    case Part::Done:
        break;
    }
    return {};
}

QList<TrackingStore::TrackPoint> TrackStream::nextChunk()
{
    try {
        QList<TrackingStore::TrackPoint> chunk
            = m_store.trackChunk(m_track.device, m_track.range, m_after, reportsPerChunk);
        if (!chunk.isEmpty())
            m_after = { chunk.last().when, chunk.last().id };
        return chunk;
    } catch (const TrackingStore::Error &error) {
        throw Failed(error.what());
    }
}

QByteArray TrackStream::head()
{
    if (m_format == Format::GeoJson) {
        QByteArray text = R"({"type":"FeatureCollection","features":[)";
        if (m_part == Part::Line)
            text += R"({"type":"Feature","geometry":{"type":"LineString","coordinates":[)";
        return text;
    }
    const QString label = m_track.name.isEmpty() ? m_track.alias : m_track.name;
    m_xml.writeStartDocument();
    m_xml.writeStartElement(QStringLiteral("gpx"));
    m_xml.writeDefaultNamespace(QStringLiteral("http://www.topografix.com/GPX/1/1"));
    m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    m_xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("peregrix-server"));
    m_xml.writeStartElement(QStringLiteral("trk"));
    m_xml.writeTextElement(QStringLiteral("name"), TrackFormats::printable(label));
    m_xml.writeTextElement(QStringLiteral("desc"),
        QStringLiteral("Device %1; times are the device's local time").arg(m_track.alias));
    m_xml.writeStartElement(QStringLiteral("trkseg"));
    return takeXml();
}

QByteArray TrackStream::line(const QList<TrackingStore::TrackPoint> &chunk)
{
    QByteArray text;
    for (const TrackingStore::TrackPoint &p : chunk) {
        if (!std::exchange(m_firstInPart, false))
            text += ',';
        text += '[' + jsonNumber(p.longitude) + ',' + jsonNumber(p.latitude) + ']';
    }
    return text;
}

QByteArray TrackStream::lineEnd() const
{
    return "]},\"properties\":"
        + compact({ { QStringLiteral("device"), m_track.alias },
            { QStringLiteral("user"), m_track.name.isNull() ? QString() : m_track.name } })
        + '}';
}

QByteArray TrackStream::points(const QList<TrackingStore::TrackPoint> &chunk)
{
    if (m_format == Format::GeoJson) {
        QByteArray text;
        for (const TrackingStore::TrackPoint &p : chunk) {
            // After the line, every point follows a feature.
            if (!std::exchange(m_firstInPart, false) || m_track.reports >= 2)
                text += ',';
            text += pointFeature(p);
        }
        return text;
    }
    for (const TrackingStore::TrackPoint &p : chunk) {
        m_xml.writeStartElement(QStringLiteral("trkpt"));
        m_xml.writeAttribute(QStringLiteral("lat"), QString::number(p.latitude, 'f', 6));
        m_xml.writeAttribute(QStringLiteral("lon"), QString::number(p.longitude, 'f', 6));
        m_xml.writeTextElement(QStringLiteral("time"), TrackFormats::isoTime(p.when));
        m_xml.writeTextElement(QStringLiteral("desc"), pointDescription(p));
        m_xml.writeEndElement();
    }
    return takeXml();
}

QByteArray TrackStream::tail()
{
    if (m_format == Format::GeoJson)
        return "]}";
    m_xml.writeEndDocument();
    return takeXml();
}

QByteArray TrackStream::takeXml()
{
    QByteArray written = m_xmlOut.data();
    m_xmlOut.buffer().clear();
    m_xmlOut.seek(0);
    return written;
}
