// ReceivedReport: checking and reading the parameters of a position report.
#include "ReceivedReport.h"

#include "AccountNames.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include <cmath>

namespace {

const QStringList reportKeys { QStringLiteral("u"), QStringLiteral("d"), QStringLiteral("lat"),
    QStringLiteral("long"), QStringLiteral("when"), QStringLiteral("ver"), QStringLiteral("acc"),
    QStringLiteral("speed"), QStringLiteral("id") };

std::optional<double> coordinate(const QString &text, double limit)
{
    // Only plain decimals: no exponent, "nan" or "inf", which toDouble() would take.
    static const QRegularExpression decimal(QStringLiteral("^[-+]?[0-9]{1,3}(\\.[0-9]{1,12})?$"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    const double value = QLocale::c().toDouble(text);
    if (!std::isfinite(value) || std::fabs(value) > limit)
        return std::nullopt;
    return value;
}

bool isDeviceTime(const QString &when)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{14}$"));
    if (!digits.match(when).hasMatch())
        return false;
    const QDate date(when.first(4).toInt(), when.sliced(4, 2).toInt(), when.sliced(6, 2).toInt());
    const QTime time(
        when.sliced(8, 2).toInt(), when.sliced(10, 2).toInt(), when.sliced(12, 2).toInt());
    return date.isValid() && time.isValid();
}

std::optional<qint64> reportId(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

std::optional<qint32> wholeMetres(const QString &text)
{
    static const QRegularExpression integer(QStringLiteral("^-?[0-9]{1,9}$"));
    if (!integer.match(text).hasMatch())
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
    QStringList withLate = reportKeys;
    withLate.append(QStringLiteral("Late"));
    return query.hasExactly(reportKeys) || query.hasExactly(withLate);
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
