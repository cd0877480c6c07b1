// TrackFormats: how reports read in the track formats and on the page: times, text that XML and
// HTML can carry, download file names.
#pragma once

#include <QString>

namespace TrackFormats {

// yyyyMMddHHmmss as "yyyy-MM-ddTHH:mm:ss" (or with a blank instead of the "T"). Device times
// carry no time zone, so none is written.
[[nodiscard]] QString isoTime(const QString &when, QChar separator = QLatin1Char('T'));
// The text with control characters, which XML and HTML cannot carry, turned into blanks.
[[nodiscard]] QString printable(QString text);
// A file name for downloads: the label reduced to letters, digits, "-" and "_".
[[nodiscard]] QString fileName(const QString &label, const QString &extension);

} // namespace TrackFormats
