// TrackFormats: a device's reports written as GPX or GeoJSON, for downloads and the operator's
// export.
#pragma once

#include "TrackingStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace TrackFormats {

// Device times carry no time zone, so GPX times are written without one.
[[nodiscard]] QByteArray gpx(
    const QString &device, const QString &name, const QList<TrackingStore::TrackPoint> &points);
[[nodiscard]] QByteArray geoJson(
    const QString &device, const QString &name, const QList<TrackingStore::TrackPoint> &points);

// yyyyMMddHHmmss as "yyyy-MM-ddTHH:mm:ss" (or with a blank instead of the "T").
[[nodiscard]] QString isoTime(const QString &when, QChar separator = QLatin1Char('T'));
// The text with control characters, which XML and HTML cannot carry, turned into blanks.
[[nodiscard]] QString printable(QString text);
// A file name for downloads: the device identifier reduced to letters, digits, "-" and "_".
[[nodiscard]] QString fileName(const QString &device, const QString &extension);

} // namespace TrackFormats
