// QueryParameters: the parameters of a request's query, in order, each percent-decoded.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QueryParameters
{
public:
    struct Parameter
    {
        QString key;
        QString value;
    };

    // The program escapes a request's whole text once, leaving "&", "=" and "?" inside values as
    // they are; so the query is split at every "&" and each part at its first "=" before
    // decoding. "+" is a plus, not a blank. Nothing when a "%" is not followed by two hex digits
    // or the decoded bytes are not UTF-8.
    [[nodiscard]] static std::optional<QueryParameters> parse(const QByteArray &query);
    // The text percent-decoded as UTF-8; nothing when a "%" is not followed by two hex digits
    // or the bytes are not UTF-8.
    [[nodiscard]] static std::optional<QString> decoded(QByteArrayView text);

    [[nodiscard]] const QList<Parameter> &parameters() const { return m_parameters; }
    [[nodiscard]] QStringList keys() const;
    // The first value under the key; null when there is none.
    [[nodiscard]] QString value(QStringView key) const;
    // Whether the keys are exactly these, in any order, each once.
    [[nodiscard]] bool hasExactly(const QStringList &keys) const;

private:
    QList<Parameter> m_parameters;
};
