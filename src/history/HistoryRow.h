// HistoryRow: what a history row shows of a report's request text, and the report's id.
#pragma once

#include <QString>

#include <algorithm>
#include <optional>

struct HistoryRow
{
    QString timeText; // "Time:yyyy-MM-dd HH:mm:ss", or "Time:" and a shorter value as it is
    QString latitude; // the "lat=" part as it stands
    QString longitude; // the "long=" part as it stands
    QString accuracyText; // "Accuracy=" and the "acc=" value and "m"
    QString speed; // the "speed=" part as it stands

    // Parts are taken by position, not by name, so a user name holding "&" shifts them. A text
    // without exactly one "?" or with fewer than eight "&"-parts after it cannot be split.
    [[nodiscard]] static std::optional<HistoryRow> fromRequestText(const QString &requestText);

    // The ninth "&"-part of a request text less its "id=", whatever it holds; empty when the
    // text has fewer parts.
    [[nodiscard]] static QString idOf(const QString &requestText);

    // Where idOf finds the id, as [begin, end) in the text's code units. The history keeps
    // texts as one byte a unit when it can, so this reads Latin-1 bytes as well as UTF-16.
    struct Span
    {
        qsizetype begin = 0;
        qsizetype end = 0;
    };
    template<typename Unit> [[nodiscard]] static Span idSpan(const Unit *text, qsizetype size)
    {
        constexpr int separatorsBeforeId = 8;
        constexpr qsizetype idLabel = 3; // "id=", or whatever stands in its place
        qsizetype at = 0;
        for (int separators = 0; separators < separatorsBeforeId; ++at) {
            if (at == size)
                return {};
            if (text[at] == Unit('&'))
                ++separators;
        }
        qsizetype end = at;
        while (end < size && text[end] != Unit('&'))
            ++end;
        return { std::min(at + idLabel, end), end };
    }
};
