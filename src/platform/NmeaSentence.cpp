// NmeaSentence: one checked NMEA 0183 sentence split into its fields, and field readers.
#include "NmeaSentence.h"

#include <cmath>

namespace {

std::optional<int> hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return std::nullopt;
}

} // namespace

std::optional<NmeaSentence> NmeaSentence::parse(QByteArrayView line)
{
    line = line.trimmed();
    if (line.size() < 7 || line.front() != '$' || line.size() > 200)
        return std::nullopt;
    QByteArrayView body = line.sliced(1);
    const qsizetype star = body.lastIndexOf('*');
    if (star >= 0) {
        if (star + 3 != body.size())
            return std::nullopt;
        const auto high = hexValue(body[star + 1]), low = hexValue(body[star + 2]);
        if (!high || !low)
            return std::nullopt;
        quint8 sum = 0;
        for (const char c : body.first(star))
            sum ^= quint8(c);
        if (sum != quint8(*high << 4 | *low))
            return std::nullopt;
        body = body.first(star);
    }
    NmeaSentence sentence;
    sentence.m_fields = body.toByteArray().split(',');
    const QByteArray &address = sentence.m_fields.first();
    if (address.size() < 5)
        return std::nullopt;
    sentence.m_type = address.right(3);
    return sentence;
}

QByteArray NmeaSentence::field(qsizetype index) const
{
    return index > 0 && index < m_fields.size() ? m_fields[index] : QByteArray();
}

std::optional<double> NmeaSentence::number(qsizetype index) const
{
    bool ok = false;
    const double value = field(index).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> NmeaSentence::coordinate(
    qsizetype valueField, qsizetype hemisphereField, double limit) const
{
    const std::optional<double> raw = number(valueField);
    const QByteArray hemisphere = field(hemisphereField);
    if (!raw || *raw < 0 || hemisphere.size() != 1)
        return std::nullopt;
    const double degrees = std::floor(*raw / 100.0);
    const double minutes = *raw - degrees * 100.0;
    if (minutes >= 60.0)
        return std::nullopt;
    double value = degrees + minutes / 60.0;
    if (value > limit)
        return std::nullopt;
    switch (hemisphere[0]) {
    case 'N':
    case 'E':
        return value;
    case 'S':
    case 'W':
        return -value;
    default:
        return std::nullopt;
    }
}

std::optional<QTime> NmeaSentence::time(qsizetype index) const
{
    const QByteArray text = field(index);
    if (text.size() < 6)
        return std::nullopt;
    bool okH = false, okM = false;
    const int hours = text.left(2).toInt(&okH);
    const int minutes = text.mid(2, 2).toInt(&okM);
    const std::optional<double> seconds = [&]() -> std::optional<double> {
        bool ok = false;
        const double s = text.mid(4).toDouble(&ok);
        // "nan" reads as a number too, and would reach the conversion to whole seconds.
        return ok && std::isfinite(s) ? std::optional<double>(s) : std::nullopt;
    }();
    if (!okH || !okM || !seconds || *seconds < 0 || *seconds >= 61)
        return std::nullopt;
    const int whole = int(*seconds);
    // Rounded, since ".123" is a hair below 0.123 as a double; never up to a whole second.
    const int milliseconds = qMin(int(std::lround((*seconds - whole) * 1000)), 999);
    const QTime t(hours, minutes, qMin(whole, 59), milliseconds);
    return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}
