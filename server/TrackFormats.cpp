// TrackFormats: times, printable text and file names of tracks.
#include "TrackFormats.h"

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

QString TrackFormats::fileName(const QString &label, const QString &extension)
{
    QString safe = label.left(64);
    for (QChar &c : safe) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
            || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        if (!plain)
            c = QLatin1Char('_');
    }
    return QStringLiteral("track-") + safe + QLatin1Char('.') + extension;
}
