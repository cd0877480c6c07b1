// ReceivedReport: checking and reading the parameters of a position report.
#include "ReceivedReport.h"

#include "AccountNames.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

const QStringList reportKeys { QStringLiteral("u"), QStringLiteral("d"), QStringLiteral("lat"),
    QStringLiteral("long"), QStringLiteral("when"), QStringLiteral("ver"), QStringLiteral("acc"),
    QStringLiteral("speed"), QStringLiteral("id") };
const QStringList lateReportKeys = reportKeys + QStringList { QStringLiteral("Late") };

// Whether the text is only ASCII digits, at least `fewest` and at most `most` of them.
bool isDigits(QStringView text, qsizetype fewest, qsizetype most)
{
    return text.size() >= fewest && text.size() <= most
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<double> coordinate(const QString &text, double limit)
{
    // Only plain decimals: no exponent, "nan" or "inf".
    QStringView digits(text);
    if (digits.startsWith(u'-') || digits.startsWith(u'+'))
        digits = digits.sliced(1);
    const qsizetype point = digits.indexOf(u'.');
    if (!isDigits(point < 0 ? digits : digits.first(point), 1, 3)
        || (point >= 0 && !isDigits(digits.sliced(point + 1), 1, 12)))
        return std::nullopt;
    // At most 16 ASCII characters, which from_chars reads as the C locale does.
    char ascii[16];
    const qsizetype length = digits.size();
    std::transform(digits.begin(), digits.end(), ascii, [](QChar c) { return char(c.unicode()); });
    double value = 0;
    std::from_chars(ascii, ascii + length, value);
    if (text.startsWith(u'-'))
        value = -value;
    if (std::fabs(value) > limit)
        return std::nullopt;
    return value;
}

bool isDeviceTime(const QString &when)
{
    if (!isDigits(when, 14, 14))
        return false;
    const auto number = [when = QStringView(when)](qsizetype from, qsizetype length) {
        return when.sliced(from, length).toInt();
    };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    const QTime time(number(8, 2), number(10, 2), number(12, 2));
    return date.isValid() && time.isValid();
}

std::optional<qint64> reportId(const QString &text)
{
    if (!isDigits(text, 1, 9))
        return std::nullopt;
    return text.toLongLong();
}

std::optional<qint32> wholeMetres(const QString &text)
{
    if (!isDigits(text.startsWith(u'-') ? QStringView(text).sliced(1) : QStringView(text), 1, 9))
        return std::nullopt;
    return text.toInt();
}

QString checkText(const ReceivedReport &r)
{
    if (!AccountNames::isAcceptableDevice(r.device))
        return QStringLiteral("Bad report: device identifier");
    if (r.user.isEmpty() || r.user.size() > 64)
        return QStringLiteral("Bad report: user name");
    if (r.version.size() > 32 || r.speed.size() > 32)
        return QStringLiteral("Bad report: version or speed too long");
    for (const QString *text : { &r.user, &r.version, &r.speed }) {
        if (std::any_of(text->cbegin(), text->cend(),
                [](QChar c) { return c.category() == QChar::Other_Control; }))
            return QStringLiteral("Bad report: control characters");
    }
    return {};
}

} // namespace

bool ReceivedReport::looksLikeReport(const QueryParameters &query)
{
    return query.hasExactly(reportKeys) || query.hasExactly(lateReportKeys);
}

std::variant<ReceivedReport, QString> ReceivedReport::fromQuery(const QueryParameters &query)
{
    if (!looksLikeReport(query))
        return QStringLiteral("Bad report: expected u, d, lat, long, when, ver, acc, speed, id");
    ReceivedReport r;
    r.user = query.value(u"u");
    r.device = query.value(u"d");
    r.version = query.value(u"ver");
    r.speed = query.value(u"speed");
    r.when = query.value(u"when");
    const QString late = query.value(u"Late");
    if (!late.isNull() && late != QLatin1String("Y"))
        return QStringLiteral("Bad report: Late must be Y");
    r.late = !late.isNull();
    if (const QString problem = checkText(r); !problem.isNull())
        return problem;

    const std::optional<double> lat = coordinate(query.value(u"lat"), 90.0);
    if (!lat)
        return QStringLiteral("Bad report: latitude missing, not a number or out of range");
    const std::optional<double> lon = coordinate(query.value(u"long"), 180.0);
    if (!lon)
        return QStringLiteral("Bad report: longitude missing, not a number or out of range");
    if (!isDeviceTime(r.when))
        return QStringLiteral("Bad report: when must be yyyyMMddHHmmss");
    const std::optional<qint32> acc = wholeMetres(query.value(u"acc"));
    if (!acc)
        return QStringLiteral("Bad report: accuracy must be a whole number");
    r.idText = query.value(u"id");
    const std::optional<qint64> id = reportId(r.idText);
    if (!id)
        return QStringLiteral("Bad report: id must be a whole number");
    r.latitude = *lat;
    r.longitude = *lon;
    r.accuracy = *acc;
    r.id = *id;
    return r;
}
