// TrackStream: a device's reports as a GPX or GeoJSON download, made a chunk of reports at a
// time.
#pragma once

#include "HttpReply.h"
#include "TrackingStore.h"

#include <QBuffer>
#include <QXmlStreamWriter>

// A track may hold millions of reports: it is read from the database a chunk at a time, each
// chunk a short statement of its own that starts after the last report handed over, and each
// chunk is written out before the next is read, so memory stays the same whatever the
// track's length, and the serving thread answers other requests between the chunks.
class TrackStream : public ReplyStream
{
public:
    enum class Format { Gpx, GeoJson };

    static constexpr qint64 reportsPerChunk = 1000;

    struct Track
    {
        QString device;
        QString alias; // what the download shows in place of the device's identifier
        QString name; // the device's user name; may be null
        TrackingStore::TimeRange range;
        qint64 reports = 0; // in the range
    };

    // `store` must outlive the stream.
    TrackStream(TrackingStore &store, Format format, Track track);

    [[nodiscard]] QByteArray next() override;

private:
    enum class Part { Head, Line, Points, Done };

    [[nodiscard]] QList<TrackingStore::TrackPoint> nextChunk();
    [[nodiscard]] QByteArray head();
    [[nodiscard]] QByteArray line(const QList<TrackingStore::TrackPoint> &points);
    [[nodiscard]] QByteArray lineEnd() const;
    [[nodiscard]] QByteArray points(const QList<TrackingStore::TrackPoint> &points);
    [[nodiscard]] QByteArray tail();
    [[nodiscard]] QByteArray takeXml();

    TrackingStore &m_store;
    Format m_format;
    Track m_track;
    Part m_part = Part::Head;
    TrackingStore::TrackPosition m_after;
    bool m_firstInPart = true;
    QBuffer m_xmlOut;
    QXmlStreamWriter m_xml;
};
