// Percent-escaping of a whole URL text, and the check that a text is a usable URL.
#include "PercentEscapes.h"

#include <QUrl>

namespace {

bool isLeftAsIs(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
        return true;
    return QStringView(u"!$&'()*+,-./:;=?@[]_~").contains(QChar(c));
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

void appendEscapedBytes(QString &out, const QByteArray &utf8)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (const char byte : utf8) {
        const auto b = static_cast<unsigned char>(byte);
        out += QLatin1Char('%');
        out += QLatin1Char(hex[b >> 4]);
        out += QLatin1Char(hex[b & 0xF]);
    }
}

} // namespace

QString addingPercentEscapes(const QString &text)
{
    QString out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isLeftAsIs(c.unicode())) {
            out += c;
            continue;
        }
        qsizetype length = 1;
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return {};
            length = 2;
        } else if (c.isLowSurrogate()) {
            return {};
        }
        appendEscapedBytes(out, text.mid(i, length).toUtf8());
        i += length - 1;
    }
    if (out.isNull())
        out = QStringLiteral("");
    return out;
}

bool isValidUrl(const QString &text)
{
    int hashes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%') {
            if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
                return false;
            i += 2;
        } else if (c == u'#') {
            if (++hashes > 1)
                return false;
        } else if (!isLeftAsIs(c.unicode())) {
            return false;
        }
    }
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

QUrl urlWithString(const QString &escapedText)
{
    if (!isValidUrl(escapedText))
        return {};
    return QUrl::fromEncoded(escapedText.toLatin1(), QUrl::StrictMode);
}
