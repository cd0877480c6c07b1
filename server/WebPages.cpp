// WebPages: the overview page with SVG tracks, and the track downloads.
#include "WebPages.h"

#include "TrackFormats.h"
#include "TrackStream.h"

#include <QDate>
#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double svgWidth = 640, svgHeight = 360, svgMargin = 16;

const char *const style = "body{font-family:sans-serif;margin:1em 2em;color:#222}"
                          "table{border-collapse:collapse;margin-bottom:1.5em}"
                          "th,td{border:1px solid #bbb;padding:3px 8px;text-align:left}"
                          "th{background:#eee}"
                          "svg{border:1px solid #bbb;background:#f7f7f2}"
                          ".track{fill:none;stroke:#1565c0;stroke-width:1.5;"
                          "stroke-linejoin:round}"
                          ".report{fill:#1565c0}"
                          ".late{fill:#fff;stroke:#e65100;stroke-width:2}"
                          ".stopped{color:#b71c1c}"
                          ".map{height:360px;max-width:640px;border:1px solid #bbb;"
                          "background:#f7f7f2}";

// The page and the downloads hold data anyone could have put in the database: nothing they
// contain may fetch or run anything. The page's own policy lets its scripts from this server
// run; see contentSecurityPolicy().
void addSafetyHeaders(HttpReply &reply, const QByteArray &policy = "default-src 'none'")
{
    reply.addHeader("Content-Security-Policy", policy);
    reply.addHeader("X-Content-Type-Options", "nosniff");
    reply.addHeader("Cache-Control", "no-store");
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString deviceLink(const QString &alias, const char *file)
{
    return WebPages::escaped(QLatin1String(file) + QStringLiteral("?a=")
        + QString::fromLatin1(QUrl::toPercentEncoding(alias)));
}

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM[:SS]" as a device time, yyyyMMddHHmmss; a date alone is its
// first second, or its last one for the end of a range. Null when it is neither.
QString deviceTime(const QString &text, bool end)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const bool hasTime = m.capturedLength(4) > 0;
    const bool hasSeconds = m.capturedLength(6) > 0;
    const QTime time(hasTime ? m.captured(4).toInt() : (end ? 23 : 0),
        hasTime ? m.captured(5).toInt() : (end ? 59 : 0),
        hasSeconds ? m.captured(6).toInt() : (end ? 59 : 0));
    if (!date.isValid() || !time.isValid())
        return {};
    return date.toString(QStringLiteral("yyyyMMdd")) + time.toString(QStringLiteral("HHmmss"));
}

std::optional<TrackingStore::TimeRange> timeRange(const QueryParameters &query)
{
    TrackingStore::TimeRange range;
    for (const auto &[key, end] : { std::pair(u"from", false), std::pair(u"to", true) }) {
        const QString text = query.value(key);
        if (text.isNull())
            continue;
        const QString when = deviceTime(text, end);
        if (when.isNull())
            return std::nullopt;
        (end ? range.to : range.from) = when;
    }
    return range;
}

HttpReply serverError(const TrackingStore::Error &error)
{
    qWarning("peregrix-server: database: %s", error.what());
    return HttpReply::text("Server error", 500);
}

struct Projection
{
    double minX = 0, minY = 0, scale = 1, offsetX = 0, offsetY = 0, xFactor = 1;

    // Equirectangular, with longitudes shrunk by the cosine of the middle latitude, fitted
    // into the drawing and centred.
    explicit Projection(const QList<TrackingStore::TrackPoint> &points)
    {
        const auto [south, north] = std::minmax_element(points.cbegin(), points.cend(),
            [](const auto &a, const auto &b) { return a.latitude < b.latitude; });
        const auto [west, east] = std::minmax_element(points.cbegin(), points.cend(),
            [](const auto &a, const auto &b) { return a.longitude < b.longitude; });
        xFactor = std::cos((south->latitude + north->latitude) / 2 * std::numbers::pi / 180);
        minX = west->longitude * xFactor;
        minY = south->latitude;
        const double spanX = std::max((east->longitude - west->longitude) * xFactor, 1e-9);
        const double spanY = std::max(north->latitude - south->latitude, 1e-9);
        const double width = svgWidth - 2 * svgMargin, height = svgHeight - 2 * svgMargin;
        scale = std::min(width / spanX, height / spanY);
        offsetX = svgMargin + (width - spanX * scale) / 2;
        offsetY = svgMargin + (height - spanY * scale) / 2;
    }
    [[nodiscard]] QString at(const TrackingStore::TrackPoint &p) const
    {
        const double x = offsetX + (p.longitude * xFactor - minX) * scale;
        const double y = svgHeight - offsetY - (p.latitude - minY) * scale;
        return number(x, 1) + QLatin1Char(',') + number(y, 1);
    }
};

QString pointTitle(const TrackingStore::TrackPoint &p)
{
    QString title = QStringLiteral("Report %1 at %2, %3 %4")
                        .arg(p.id)
                        .arg(TrackFormats::isoTime(p.when, QLatin1Char(' ')), number(p.latitude, 6),
                            number(p.longitude, 6));
    if (p.late)
        title += QStringLiteral(" (late)");
    return WebPages::escaped(title);
}

} // namespace

WebPages::WebPages(TrackingStore &store, const QString &tiles)
    : m_store(store)
    , m_tiles(tiles)
{ }

// Scripts, styles and data from this server only; pictures from it and from the tile server.
QByteArray WebPages::contentSecurityPolicy() const
{
    QByteArray images = "'self' data:";
    if (!m_tiles.isEmpty()) {
        const QUrl tiles(m_tiles);
        images += ' ' + tiles.scheme().toLatin1() + "://" + QUrl::toAce(tiles.host());
        if (tiles.port() != -1)
            images += ':' + QByteArray::number(tiles.port());
    }
    return "default-src 'none'; script-src 'self'; connect-src 'self'; style-src 'self' "
           "'unsafe-inline'; img-src "
        + images;
}

HttpReply WebPages::script(const QString &path) const
{
    const QString file = path == u"/map.js"
        ? QStringLiteral(":/web/map.js")
        : QLatin1String(leafletFolder) + path.mid(QStringLiteral("/leaflet").size());
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly))
        return HttpReply::text("Not here: install Debian's libjs-leaflet for the map", 404);
    HttpReply reply = HttpReply::text(source.readAll());
    reply.contentType
        = path.endsWith(u".css") ? "text/css; charset=utf-8" : "text/javascript; charset=utf-8";
    reply.addHeader("X-Content-Type-Options", "nosniff");
    reply.addHeader("Cache-Control", "max-age=3600");
    return reply;
}

QString WebPages::escaped(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : TrackFormats::printable(text)) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString WebPages::trackSvg(const QList<TrackingStore::TrackPoint> &points)
{
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" "
                                 "height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\">")
                      .arg(svgWidth)
                      .arg(svgHeight);
    if (points.isEmpty())
        return svg + QStringLiteral("</svg>");
    const Projection projection(points);
    QStringList line;
    for (const TrackingStore::TrackPoint &p : points)
        line.append(projection.at(p));
    svg += QStringLiteral("<polyline class=\"track\" points=\"%1\"/>").arg(line.join(u' '));
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QStringList xy = line[i].split(QLatin1Char(','));
        svg += QStringLiteral("<circle class=\"%1\" cx=\"%2\" cy=\"%3\" r=\"%4\"><title>%5</title>"
                              "</circle>")
                   .arg(points[i].late ? QStringLiteral("late") : QStringLiteral("report"), xy[0],
                       xy[1], points[i].late ? QStringLiteral("4") : QStringLiteral("2.5"),
                       pointTitle(points[i]));
    }
    return svg + QStringLiteral("</svg>");
}

QString WebPages::deviceRow(const TrackingStore::DeviceEntry &e) const
{
    QStringList cells { escaped(e.name.isNull() ? QStringLiteral("(none)") : e.name),
        escaped(e.alias), QString::number(e.reports) };
    if (e.last) {
        cells << escaped(TrackFormats::isoTime(e.last->when, QLatin1Char(' ')))
              << number(e.last->latitude, 6) << number(e.last->longitude, 6)
              << QStringLiteral("%1 m").arg(e.last->accuracy) << escaped(e.last->speed);
    } else {
        cells << QStringLiteral("no reports yet") << QString() << QString() << QString()
              << QString();
    }
    cells << (e.stopped ? QStringLiteral("<span class=\"stopped\">stopped: %1</span>")
                              .arg(escaped(e.stopMessage))
                        : QStringLiteral("tracking"));
    return QStringLiteral("<tr><td>") + cells.join(QStringLiteral("</td><td>"))
        + QStringLiteral("</td></tr>\n");
}

QString WebPages::deviceSection(const TrackingStore::DeviceEntry &e, int index)
{
    const QList<TrackingStore::TrackPoint> points = m_store.track(e.device, pointsPerTrack);
    QString html = QStringLiteral("<section id=\"device-%1\"><h2>%2 &#8212; %3</h2>\n")
                       .arg(index)
                       .arg(escaped(e.name.isNull() ? QStringLiteral("(no user name)") : e.name),
                           escaped(e.alias));
    if (points.isEmpty())
        return html + QStringLiteral("<p>No reports yet.</p>\n</section>\n");
    html += e.reports == 1 ? QStringLiteral("<p>1 report")
                           : QStringLiteral("<p>%1 reports").arg(e.reports);
    if (e.reports > pointsPerTrack)
        html += QStringLiteral(", the newest %1 drawn").arg(pointsPerTrack);
    html += QStringLiteral(". Download the track as <a href=\"%1\">GPX</a> or "
                           "<a href=\"%2\">GeoJSON</a>.</p>\n")
                .arg(deviceLink(e.alias, "track.gpx"), deviceLink(e.alias, "track.geojson"));
    html += QStringLiteral("<div class=\"map\" hidden data-geojson=\"%1\"></div>\n")
                .arg(deviceLink(e.alias, "track.geojson"));
    return html + trackSvg(points) + QStringLiteral("\n</section>\n");
}

QString WebPages::pageLinks(qint64 page, qint64 shown, qint64 devices)
{
    const qint64 first = (page - 1) * devicesPerPage;
    QString html = devices == 0 ? QStringLiteral("<p>No devices yet.")
                                : QStringLiteral("<p>Devices %1 to %2 of %3, the most recently "
                                                 "active first.")
                                      .arg(first + std::min<qint64>(shown, 1))
                                      .arg(first + shown)
                                      .arg(devices);
    if (page > 1)
        html += QStringLiteral(" <a href=\"?page=%1\">Newer devices</a>").arg(page - 1);
    if (first + shown < devices)
        html += QStringLiteral(" <a href=\"?page=%1\">Older devices</a>").arg(page + 1);
    return html + QStringLiteral("</p>\n");
}

HttpReply WebPages::overview(const QueryParameters &query)
{
    const QString pageText = query.value(u"page");
    bool isNumber = pageText.isNull();
    const qint64 page = isNumber ? 1 : pageText.toLongLong(&isNumber);
    if (!isNumber || page < 1 || page > std::numeric_limits<qint64>::max() / devicesPerPage)
        return HttpReply::text("page is a whole number from 1", 400);
    try {
        const QList<TrackingStore::DeviceEntry> devices
            = m_store.recentDevices((page - 1) * devicesPerPage, devicesPerPage);
        const QString links = pageLinks(page, devices.size(), m_store.deviceCount());
        QString html
            = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                             "<noscript><meta http-equiv=\"refresh\" content=\"30\"></noscript>"
                             "<title>Peregrix tracking server</title><style>%1</style>"
                             "<link rel=\"stylesheet\" href=\"leaflet/leaflet.css\">"
                             "<script src=\"leaflet/leaflet.js\" defer></script>"
                             "<script src=\"map.js\" defer></script></head>\n"
                             "<body data-tiles=\"%2\"><h1>Peregrix tracking server</h1>\n"
                             "<p>Times are the devices' own clocks. Late reports, sent again after "
                             "they could not go out, are ringed in orange. Devices go by an alias; "
                             "their identifiers are not shown.</p>\n")
                  .arg(QLatin1String(style), escaped(m_tiles));
        html += links;
        html += QStringLiteral("<table><tr><th>User</th><th>Device</th><th>Reports</th>"
                               "<th>Last report</th><th>Latitude</th><th>Longitude</th>"
                               "<th>Accuracy</th><th>Speed</th><th>Status</th></tr>\n");
        for (const TrackingStore::DeviceEntry &e : devices)
            html += deviceRow(e);
        html += QStringLiteral("</table>\n");
        for (int i = 0; i < devices.size(); ++i)
            html += deviceSection(devices[i], i + 1);
        html += links + QStringLiteral("</body></html>\n");
        HttpReply reply = HttpReply::text(html.toUtf8());
        reply.contentType = "text/html; charset=utf-8";
        addSafetyHeaders(reply, contentSecurityPolicy());
        return reply;
    } catch (const TrackingStore::Error &error) {
        return serverError(error);
    }
}

HttpReply WebPages::gpx(const QueryParameters &query)
{
    return download(query, QStringLiteral("gpx"));
}

HttpReply WebPages::geoJson(const QueryParameters &query)
{
    return download(query, QStringLiteral("geojson"));
}

HttpReply WebPages::download(const QueryParameters &query, const QString &extension)
{
    QStringList keys = query.keys();
    const bool known = std::all_of(keys.cbegin(), keys.cend(),
        [](const QString &key) { return key == u"a" || key == u"from" || key == u"to"; });
    if (!known || !keys.contains(QStringLiteral("a")) || keys.removeDuplicates() > 0)
        return HttpReply::text("Give the device's alias as a=ALIAS, and maybe from= and to=", 400);
    const std::optional<TrackingStore::TimeRange> range = timeRange(query);
    if (!range)
        return HttpReply::text("from and to are dates, YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS", 400);
    try {
        const QString alias = query.value(u"a");
        const QString device = m_store.deviceWithAlias(alias);
        const qint64 reports = device.isNull() ? 0 : m_store.reportCount(device, *range);
        if (reports == 0)
            return HttpReply::text("No reports from this device", 404);
        const bool isGpx = extension == QLatin1String("gpx");
        HttpReply reply;
        reply.stream = std::make_shared<TrackStream>(m_store,
            isGpx ? TrackStream::Format::Gpx : TrackStream::Format::GeoJson,
            TrackStream::Track { device, alias, m_store.account(device).name, *range, reports });
        reply.contentType = isGpx ? "application/gpx+xml" : "application/geo+json";
        reply.addHeader("Content-Disposition",
            "attachment; filename=\"" + TrackFormats::fileName(alias, extension).toLatin1() + '"');
        addSafetyHeaders(reply);
        return reply;
    } catch (const TrackingStore::Error &error) {
        return serverError(error);
    }
}
