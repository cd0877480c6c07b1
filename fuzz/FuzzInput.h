// What the fuzz targets share: turning the fuzzer's bytes into text, and failing a property.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace FuzzInput {

inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Text as the program receives it: UTF-8, as replies and the preferences file arrive, unless
// the input starts with a UTF-16LE byte order mark; then the rest is taken unit by unit, so
// that texts no decoder would make (unpaired surrogates) are tried as well. Nothing for UTF-8
// that does not decode, since the program never gets that far with it.
inline std::optional<QString> text(const std::uint8_t *data, std::size_t size)
{
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        QString units;
        for (std::size_t i = 2; i + 1 < size; i += 2)
            units += QChar(char16_t(data[i] | data[i + 1] << 8));
        return units;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString decoded = decoder.decode(bytes(data, size));
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

} // namespace FuzzInput

// A broken property is a finding like a crash: libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
