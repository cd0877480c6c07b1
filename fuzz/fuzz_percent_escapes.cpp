// Fuzz target: percent-escaping of texts that hold what the user typed, and the URL made of
// the escaped text.
#include "FuzzInput.h"

#include "platform/PercentEscapes.h"

#include <QUrl>

namespace {

bool isUpperHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

bool isLeftAsIs(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
        || QStringView(u"!$&'()*+,-./:;=?@[]_~").contains(c);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::optional<QString> text = FuzzInput::text(data, size);
    if (!text)
        return -1;
    const QString escaped = addingPercentEscapes(*text);

    // Only a text that is not well-formed UTF-16 cannot be escaped.
    FUZZ_CHECK(escaped.isNull() == !QStringView(*text).isValidUtf16());
    if (escaped.isNull())
        return 0;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const QChar c = escaped[i];
        if (c == u'%') {
            FUZZ_CHECK(
                i + 2 < escaped.size() && isUpperHex(escaped[i + 1]) && isUpperHex(escaped[i + 2]));
            i += 2;
        } else {
            FUZZ_CHECK(isLeftAsIs(c));
        }
    }
    FUZZ_CHECK(QByteArray::fromPercentEncoding(escaped.toLatin1()) == text->toUtf8());

    // A report carrying the text goes out byte for byte as it was escaped.
    const QString request = addingPercentEscapes(
        QStringLiteral("http://127.0.0.1:8080/log.php?u=") + *text + QStringLiteral("&d=0a1b"));
    FUZZ_CHECK(isValidUrl(request));
    const QUrl url = urlWithString(request);
    FUZZ_CHECK(url.isValid());
    FUZZ_CHECK(url.toEncoded() == request.toLatin1());
    return 0;
}
