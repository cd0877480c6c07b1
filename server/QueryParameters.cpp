// QueryParameters: splitting and strict decoding of a request's query.
#include "QueryParameters.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<QString> QueryParameters::decoded(QByteArrayView text)
{
    // Most parameters are plain ASCII, which needs no decoding at all.
    if (std::all_of(text.begin(), text.end(), [](char c) { return c != '%' && uchar(c) < 0x80; }))
        return text.isEmpty() ? QStringLiteral("") : QString::fromLatin1(text);
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString result = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    if (result.isNull())
        result = QStringLiteral("");
    return result;
}

std::optional<QueryParameters> QueryParameters::parse(const QByteArray &query)
{
    QueryParameters result;
    if (query.isEmpty())
        return result;
    for (qsizetype start = 0; start <= query.size();) {
        qsizetype end = query.indexOf('&', start);
        if (end < 0)
            end = query.size();
        const QByteArrayView part = QByteArrayView(query).sliced(start, end - start);
        const qsizetype equals = part.indexOf('=');
        const std::optional<QString> key = decoded(equals < 0 ? part : part.first(equals));
        const std::optional<QString> value
            = decoded(equals < 0 ? QByteArrayView() : part.sliced(equals + 1));
        if (!key || !value)
            return std::nullopt;
        result.m_parameters.append({ *key, *value });
        start = end + 1;
    }
    return result;
}

QStringList QueryParameters::keys() const
{
    QStringList result;
    for (const Parameter &p : m_parameters)
        result.append(p.key);
    return result;
}

QString QueryParameters::value(QStringView key) const
{
    for (const Parameter &p : m_parameters) {
        if (p.key == key)
            return p.value;
    }
    return {};
}

bool QueryParameters::hasExactly(const QStringList &wanted) const
{
    if (wanted.size() != m_parameters.size())
        return false;
    return std::all_of(wanted.begin(), wanted.end(), [&](const QString &key) {
        const auto isKey = [&key](const Parameter &p) { return p.key == key; };
        return std::count_if(m_parameters.begin(), m_parameters.end(), isKey) == wanted.count(key);
    });
}
