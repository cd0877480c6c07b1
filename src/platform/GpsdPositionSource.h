// GpsdPositionSource: positions from a gpsd daemon, read on the Qt event loop of its thread.
#pragma once

#include <QGeoPositionInfo>
#include <QGeoPositionInfoSource>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;
struct gps_data_t;
struct gps_fix_t;

// Watches gpsd's JSON reports and emits positionUpdated for every report with a 2D or 3D fix,
// as fast as the receiver delivers them (updateInterval() does not slow them down).
//
// gpsd going away, or not being there at the start, is reported once per outage as
// errorOccurred(ClosedError); while updates or a request are wanted the source then tries to
// connect again every reconnectInterval milliseconds and carries on by itself when gpsd is back.
//
// Connecting resolves the host name and waits for TCP, which for a host that is down can take
// minutes. Connecting therefore runs on a short-lived thread of its own; everything else, reading
// included, happens on the source's thread without ever waiting.
class GpsdPositionSource : public QGeoPositionInfoSource
{
    Q_OBJECT
public:
    static constexpr int reconnectInterval = 2000;
    // requestUpdate(0) waits this long.
    static constexpr int defaultRequestTimeout = 30000;

    // An empty host means localhost.
    GpsdPositionSource(const QString &host, const QString &port, QObject *parent = nullptr);
    ~GpsdPositionSource() override;

    [[nodiscard]] QGeoPositionInfo lastKnownPosition(
        bool fromSatellitePositioningMethodsOnly = false) const override;
    [[nodiscard]] PositioningMethods supportedPositioningMethods() const override;
    [[nodiscard]] int minimumUpdateInterval() const override;
    [[nodiscard]] Error error() const override;

    // The position a gpsd fix stands for: an invalid QGeoPositionInfo when the fix has no
    // usable latitude and longitude.
    [[nodiscard]] static QGeoPositionInfo positionFromFix(const gps_fix_t &fix);

public Q_SLOTS:
    void startUpdates() override;
    void stopUpdates() override;
    // Emits the next fix, or errorOccurred(UpdateTimeoutError) if none comes within the timeout.
    void requestUpdate(int timeout = 0) override;

private:
    struct OwnerLink;
    using Connection = std::shared_ptr<gps_data_t>;

    [[nodiscard]] bool isWanted() const { return m_updatesRunning || m_requestPending; }
    void openConnection();
    void connectionOpened(quint64 attempt, const Connection &connection);
    void readReports();
    void handleFix(const gps_fix_t &fix);
    void connectionLost();
    void retryLater();
    void closeConnection();
    void stopEverything();
    void reportOutage();
    void requestTimedOut();

    QByteArray m_host;
    QByteArray m_port;
    std::shared_ptr<OwnerLink> m_link;
    Connection m_gps;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_reconnectTimer;
    QTimer m_requestTimer;
    QGeoPositionInfo m_lastPosition;
    Error m_error = NoError;
    quint64 m_attempt = 0;
    quint64 m_connectionSerial = 0;
    bool m_opening = false;
    bool m_inOutage = false;
    bool m_updatesRunning = false;
    bool m_requestPending = false;
};
