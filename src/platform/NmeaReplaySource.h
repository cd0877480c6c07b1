// NmeaReplaySource: replays a recorded NMEA file as a live position source, looping at its end.
#pragma once

#include "NmeaEpochReader.h"

#include <QDateTime>
#include <QGeoPositionInfoSource>
#include <QTimer>

#include <vector>

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
    // Reads the recording as far as the epoch, which it has unless the recording is shorter.
    [[nodiscard]] bool hasEpoch(std::size_t index);
    [[nodiscard]] int pauseAfter(std::size_t index) const;
    void fail(Error error);

    QString m_fileName;
    NmeaEpochReader m_reader; // the recording is read as it is replayed
    std::vector<NmeaEpoch> m_epochs;
    bool m_readWhole = false;
    std::size_t m_next = 0;
    QTimer m_timer;
    QGeoPositionInfo m_last;
    Error m_error = NoError;
    bool m_loaded = false;
};
