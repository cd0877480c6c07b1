// Fuzz target: the reference server's parsing of a request's query, as raw bytes of the URL.
#include "FuzzInput.h"

#include "QueryParameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray query = FuzzInput::bytes(data, size);
    const std::optional<QueryParameters> parsed = QueryParameters::parse(query);
    if (!parsed)
        return 0;
    // Every "&"-part is one parameter, split at its first "=", each side decoded on its own; an
    // empty query has none.
    const QList<QByteArray> parts = query.isEmpty() ? QList<QByteArray>() : query.split('&');
    const auto &parameters = parsed->parameters();
    FUZZ_CHECK(parameters.size() == parts.size());
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray &part = parts[i];
        const qsizetype equals = part.indexOf('=');
        const QByteArray key = equals < 0 ? part : part.left(equals);
        const QByteArray value = equals < 0 ? QByteArray() : part.mid(equals + 1);
        FUZZ_CHECK(parameters[i].key == QString::fromUtf8(QByteArray::fromPercentEncoding(key)));
        FUZZ_CHECK(
            parameters[i].value == QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return 0;
}
