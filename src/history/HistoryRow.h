// HistoryRow: what a history row shows of a report's request text, and the report's id.
#pragma once

#include <QString>

#include <optional>

struct HistoryRow
{
    QString timeText;     // "Time:yyyy-MM-dd HH:mm:ss", or "Time:" and a shorter value as it is
    QString latitude;     // the "lat=" part as it stands
    QString longitude;    // the "long=" part as it stands
    QString accuracyText; // "Accuracy=" and the "acc=" value and "m"
    QString speed;        // the "speed=" part as it stands

    // Parts are taken by position, not by name, so a user name holding "&" shifts them. A text
    // without exactly one "?" or with fewer than eight "&"-parts after it cannot be split.
    [[nodiscard]] static std::optional<HistoryRow> fromRequestText(const QString &requestText);

    // The ninth "&"-part of a request text less its "id=", whatever it holds; empty when the
    // text has fewer parts.
    [[nodiscard]] static QString idOf(const QString &requestText);
};
