// NmeaReplaySource: replays a recorded NMEA file as a live position source, looping at its end.
#pragma once

#include "NmeaEpochReader.h"

#include <QDateTime>
#include <QGeoPositionInfoSource>
#include <QTimer>

#include <optional>

class NmeaReplaySource : public QGeoPositionInfoSource
{
    Q_OBJECT
public:
    static constexpr qint64 maxFileSize = 64 * 1024 * 1024;

    explicit NmeaReplaySource(const QString &fileName, QObject *parent = nullptr);

    void setUpdateInterval(int msec) override;
    [[nodiscard]] QGeoPositionInfo lastKnownPosition(
        bool fromSatellitePositioningMethodsOnly = false) const override;
    [[nodiscard]] PositioningMethods supportedPositioningMethods() const override;
    [[nodiscard]] int minimumUpdateInterval() const override;
    [[nodiscard]] Error error() const override { return m_error; }

public Q_SLOTS:
    void startUpdates() override;
    void stopUpdates() override;
    void requestUpdate(int timeout = 0) override;

private:
    void replayNext();
    void fail(Error error);

    QString m_fileName;
    // The recording is read again at every pass rather than kept as fixes, each of which takes
    // several times the memory of its sentences.
    QByteArray m_recording;
    NmeaEpochReader m_reader;
    std::optional<NmeaEpoch> m_upcoming; // the epoch the next replay shows
    QTimer m_timer;
    QGeoPositionInfo m_last;
    Error m_error = NoError;
    bool m_loaded = false;
};
