// QueryParameters: splitting and strict decoding of a request's query.
#include "QueryParameters.h"

#include <QStringDecoder>

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
    const QList<QByteArray> parts = query.split('&');
    for (const QByteArray &part : parts) {
        const qsizetype equals = part.indexOf('=');
        const std::optional<QString> key = decoded(equals < 0 ? part : part.first(equals));
        const std::optional<QString> value
            = decoded(equals < 0 ? QByteArrayView() : QByteArrayView(part).sliced(equals + 1));
        if (!key || !value)
            return std::nullopt;
        result.m_parameters.append({ *key, *value });
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
    QStringList present = keys();
    QStringList expected = wanted;
    present.sort();
    expected.sort();
    return present == expected;
}
