// NmeaSentence: one checked NMEA 0183 sentence split into its fields, and field readers.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QTime>

#include <optional>

class NmeaSentence
{
public:
    // "$GPGGA,...*hh": the checksum, when present, must match. Nothing for anything else.
    [[nodiscard]] static std::optional<NmeaSentence> parse(QByteArrayView line);

    // "GGA", "RMC", "ZDA", ... whatever the talker ("GP", "GN", ...).
    [[nodiscard]] QByteArray type() const { return m_type; }
    [[nodiscard]] QByteArray field(qsizetype index) const; // 1-based after the address
    [[nodiscard]] qsizetype fieldCount() const { return m_fields.size() - 1; }

    // "ddmm.mmmm" or "dddmm.mmmm" with its hemisphere field; nothing when empty or malformed.
    [[nodiscard]] std::optional<double> coordinate(
        qsizetype valueField, qsizetype hemisphereField, double limit) const;
    [[nodiscard]] std::optional<double> number(qsizetype index) const;
    [[nodiscard]] std::optional<QTime> time(qsizetype index) const; // hhmmss[.sss]

private:
    QByteArray m_type;
    QList<QByteArray> m_fields;
};
