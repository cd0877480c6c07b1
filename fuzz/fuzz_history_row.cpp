// Fuzz target: a report's request text as the history splits it into a row and an id.
#include "FuzzInput.h"

#include "history/HistoryRow.h"

#include <QStringList>

namespace {

// A field of the row is one "&"-part of the query: it never reaches across a separator.
bool isOnePart(const QString &field)
{
    return !field.contains(u'&') && !field.contains(u'?');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::optional<QString> text = FuzzInput::text(data, size);
    if (!text)
        return -1;

    const QString id = HistoryRow::idOf(*text);
    FUZZ_CHECK(!id.contains(u'&'));
    const QStringList parts = text->split(u'&');
    if (parts.size() < 9)
        FUZZ_CHECK(id.isEmpty());
    else
        FUZZ_CHECK(parts[8].endsWith(id) && id.size() == qMax<qsizetype>(parts[8].size() - 3, 0));

    const std::optional<HistoryRow> row = HistoryRow::fromRequestText(*text);
    const qsizetype question = text->indexOf(u'?');
    const bool splittable = question >= 0 && text->indexOf(u'?', question + 1) < 0
        && text->mid(question + 1).count(u'&') >= 7;
    FUZZ_CHECK(row.has_value() == splittable);
    if (!row)
        return 0;
    for (const QString *field : { &row->latitude, &row->longitude, &row->speed }) {
        FUZZ_CHECK(isOnePart(*field));
        FUZZ_CHECK(text->contains(*field));
    }
    FUZZ_CHECK(row->timeText.startsWith(u"Time:"));
    // However long the "when=" part, the row shows at most a full date and time.
    FUZZ_CHECK(row->timeText.size() <= qsizetype(sizeof("Time:yyyy-MM-dd HH:mm:ss") - 1));
    FUZZ_CHECK(row->accuracyText.startsWith(u"Accuracy=") && row->accuracyText.endsWith(u'm'));
    FUZZ_CHECK(isOnePart(row->accuracyText));
    return 0;
}
