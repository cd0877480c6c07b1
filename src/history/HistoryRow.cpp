// HistoryRow: what a history row shows of a report's request text, and the report's id.
#include "HistoryRow.h"

#include <QStringList>

namespace {

// "Time:" and yyyyMMddHHmmss become "Time:yyyy-MM-dd HH:mm:ss"; a shorter value is shown as
// it stands.
QString shownTime(const QString &when)
{
    const QString t = QStringLiteral("Time:") + when;
    if (t.size() < 19)
        return t;
    return t.mid(0, 9) + u'-' + t.mid(9, 2) + u'-' + t.mid(11, 2) + u' ' + t.mid(13, 2) + u':'
        + t.mid(15, 2) + u':' + t.mid(17, 2);
}

} // namespace

std::optional<HistoryRow> HistoryRow::fromRequestText(const QString &requestText)
{
    const QStringList pieces = requestText.split(QLatin1Char('?'));
    if (pieces.size() != 2)
        return std::nullopt;
    const QStringList parts = pieces[1].split(QLatin1Char('&'));
    if (parts.size() < 8)
        return std::nullopt;
    return HistoryRow { shownTime(parts[4].mid(5)), parts[2], parts[3],
        QStringLiteral("Accuracy=") + parts[6].mid(4) + u'm', parts[7] };
}

QString HistoryRow::idOf(const QString &requestText)
{
    const Span id = idSpan(requestText.utf16(), requestText.size());
    return requestText.mid(id.begin, id.end - id.begin);
}
