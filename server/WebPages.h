// WebPages: the server's own page at "/" (the devices, their last reports and their tracks, on a
// map where JavaScript runs and drawn as SVG where it does not), its scripts, and the GPX and
// GeoJSON downloads it links to. Devices go by their aliases: their identifiers are their
// credentials, and the page never shows them.
#pragma once

#include "HttpReply.h"
#include "QueryParameters.h"
#include "TrackingStore.h"

class WebPages
{
public:
    // Points drawn per device; the downloads hold every report.
    static constexpr qint64 pointsPerTrack = 2000;
    // Devices on one page, the most recently active first.
    static constexpr qint64 devicesPerPage = 100;

    // Where Debian's libjs-leaflet keeps Leaflet, served from the server's own /leaflet/.
    static constexpr const char *leafletFolder = "/usr/share/javascript/leaflet";

    // tiles: the map tiles' URL template; empty for a blank map.
    WebPages(TrackingStore &store, const QString &tiles);

    // page=N, from 1, for the devices after the first (N - 1) * devicesPerPage.
    [[nodiscard]] HttpReply overview(const QueryParameters &query);
    // /map.js, the page's own script, and /leaflet/leaflet.js and .css.
    [[nodiscard]] HttpReply script(const QString &path) const;
    // a=ALIAS, optionally from= and to= as YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS] in device
    // time, both ends included. The body is streamed.
    [[nodiscard]] HttpReply gpx(const QueryParameters &query);
    [[nodiscard]] HttpReply geoJson(const QueryParameters &query);

    // & < > " ' as character references: every text from the database goes through this.
    [[nodiscard]] static QString escaped(const QString &text);
    // The track as an SVG line through the reports, each report a dot, late ones ringed.
    [[nodiscard]] static QString trackSvg(const QList<TrackingStore::TrackPoint> &points);

private:
    [[nodiscard]] QString deviceRow(const TrackingStore::DeviceEntry &entry) const;
    [[nodiscard]] QString deviceSection(const TrackingStore::DeviceEntry &entry, int index);
    [[nodiscard]] static QString pageLinks(qint64 page, qint64 shown, qint64 devices);
    [[nodiscard]] HttpReply download(const QueryParameters &query, const QString &extension);

    [[nodiscard]] QByteArray contentSecurityPolicy() const;

    TrackingStore &m_store;
    QString m_tiles;
};
