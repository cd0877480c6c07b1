// Fuzz target: the tracking server's account information reply, as decoded text.
#include "FuzzInput.h"

#include "settings/AccountInfoReply.h"

#include <string_view>
#include <vector>

namespace {

// The pieces between bars that hold exactly one comma, found without QString::split.
std::vector<std::u16string_view> itemPieces(std::u16string_view reply)
{
    std::vector<std::u16string_view> pieces;
    std::size_t start = 0;
    while (start <= reply.size()) {
        std::size_t end = reply.find(u'|', start);
        if (end == std::u16string_view::npos)
            end = reply.size();
        const std::u16string_view piece = reply.substr(start, end - start);
        const std::size_t comma = piece.find(u',');
        if (comma != std::u16string_view::npos && piece.find(u',', comma + 1) == piece.npos)
            pieces.push_back(piece);
        start = end + 1;
    }
    return pieces;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::optional<QString> reply = FuzzInput::text(data, size);
    if (!reply)
        return -1;
    const QList<AccountInfoReply::Item> items = AccountInfoReply::parse(*reply);

    const std::vector<std::u16string_view> pieces = itemPieces(std::u16string_view(
        reinterpret_cast<const char16_t *>(reply->constData()), std::size_t(reply->size())));
    FUZZ_CHECK(std::size_t(items.size()) == pieces.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        const AccountInfoReply::Item &item = items[i];
        FUZZ_CHECK(!item.title.contains(u'|') && !item.title.contains(u','));
        FUZZ_CHECK(!item.text.contains(u'|') && !item.text.contains(u','));
        const QString joined = item.title + u',' + item.text;
        FUZZ_CHECK(QStringView(joined) == QStringView(pieces[std::size_t(i)]));
    }
    return 0;
}
