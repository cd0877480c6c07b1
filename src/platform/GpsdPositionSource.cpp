// GpsdPositionSource: positions from a gpsd daemon, read on the Qt event loop of its thread.
#include "GpsdPositionSource.h"

#include "Clock.h"

#include <QSocketNotifier>

#include <gps.h>

#include <cmath>
#include <csignal>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <pthread.h>

// The connecting thread may finish after the source is gone; it reaches the source only through
// this link, which the destructor cuts under the mutex.
struct GpsdPositionSource::OwnerLink
{
    std::mutex mutex;
    GpsdPositionSource *owner = nullptr;
};

namespace {

// A flood of reports must not starve the rest of the event loop.
constexpr int maxReportsPerWakeUp = 200;

bool positive(double value)
{
    return std::isfinite(value) && value > 0;
}

// Runs on the connecting thread. Returns no connection when gpsd cannot be reached or refuses
// the watch.
std::shared_ptr<gps_data_t> openAndWatch(const QByteArray &host, const QByteArray &port)
{
    // A peer that hangs up before the watch request is written must not kill the program with
    // SIGPIPE; blocked here, the write fails with EPIPE instead. The signal is synchronous, so
    // blocking it on this thread only is enough.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    auto *data = new gps_data_t {};
    if (gps_open(host.isEmpty() ? nullptr : host.constData(), port.constData(), data) != 0) {
        delete data;
        return {};
    }
    std::shared_ptr<gps_data_t> connection(data, [](gps_data_t *opened) {
        gps_close(opened);
        delete opened;
    });
    if (gps_stream(connection.get(), WATCH_ENABLE | WATCH_JSON, nullptr) != 0)
        return {};
    // With a non-blocking socket gps_read answers 0 instead of waiting when a line is still
    // incomplete (until the rest arrives).
    const int flags = fcntl(connection->gps_fd, F_GETFL);
    if (flags < 0 || fcntl(connection->gps_fd, F_SETFL, flags | O_NONBLOCK) < 0)
        return {};
    return connection;
}

} // namespace

GpsdPositionSource::GpsdPositionSource(const QString &host, const QString &port, QObject *parent)
    : QGeoPositionInfoSource(parent)
    , m_host(host.toUtf8())
    , m_port(port.toUtf8())
    , m_link(std::make_shared<OwnerLink>())
{
    m_link->owner = this;
    m_reconnectTimer.setSingleShot(true);
    m_reconnectTimer.setInterval(reconnectInterval);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &GpsdPositionSource::openConnection);
    m_requestTimer.setSingleShot(true);
    connect(&m_requestTimer, &QTimer::timeout, this, &GpsdPositionSource::requestTimedOut);
}

GpsdPositionSource::~GpsdPositionSource()
{
    {
        const std::lock_guard lock(m_link->mutex);
        m_link->owner = nullptr;
    }
    closeConnection();
}

QGeoPositionInfo GpsdPositionSource::lastKnownPosition(bool) const
{
    // Every position this source has comes from satellites.
    return m_lastPosition;
}

QGeoPositionInfoSource::PositioningMethods GpsdPositionSource::supportedPositioningMethods() const
{
    return SatellitePositioningMethods;
}

int GpsdPositionSource::minimumUpdateInterval() const
{
    // Receivers behind gpsd nearly all report once a second; a request given less time than
    // that would usually fail.
    return 1000;
}

QGeoPositionInfoSource::Error GpsdPositionSource::error() const
{
    return m_error;
}

QGeoPositionInfo GpsdPositionSource::positionFromFix(const gps_fix_t &fix)
{
    if (fix.mode < MODE_2D || !std::isfinite(fix.latitude) || !std::isfinite(fix.longitude))
        return {};
    QGeoCoordinate coordinate(fix.latitude, fix.longitude);
    if (fix.mode >= MODE_3D) {
        // Qt's altitude is above sea level; the ellipsoid height is the nearest substitute
        // when the receiver gives no geoid separation.
        const double altitude = std::isfinite(fix.altMSL) ? fix.altMSL : fix.altHAE;
        if (std::isfinite(altitude))
            coordinate.setAltitude(altitude);
    }
    if (!coordinate.isValid())
        return {};

    const bool timeValid
        = fix.time.tv_sec > 0 && fix.time.tv_nsec >= 0 && fix.time.tv_nsec < 1'000'000'000;
    const QDateTime timestamp = timeValid
        ? QDateTime::fromMSecsSinceEpoch(
            qint64(fix.time.tv_sec) * 1000 + fix.time.tv_nsec / 1'000'000, Qt::UTC)
        : Clock::nowUtc();
    QGeoPositionInfo info(coordinate, timestamp);

    if (positive(fix.eph))
        info.setAttribute(QGeoPositionInfo::HorizontalAccuracy, fix.eph);
    else if (positive(fix.epx) && positive(fix.epy))
        info.setAttribute(QGeoPositionInfo::HorizontalAccuracy, std::hypot(fix.epx, fix.epy));
    if (fix.mode >= MODE_3D && positive(fix.epv))
        info.setAttribute(QGeoPositionInfo::VerticalAccuracy, fix.epv);
    if (std::isfinite(fix.speed))
        info.setAttribute(QGeoPositionInfo::GroundSpeed, fix.speed);
    if (std::isfinite(fix.track))
        info.setAttribute(QGeoPositionInfo::Direction, fix.track);
    if (fix.mode >= MODE_3D && std::isfinite(fix.climb))
        info.setAttribute(QGeoPositionInfo::VerticalSpeed, fix.climb);
    return info;
}

void GpsdPositionSource::startUpdates()
{
    if (m_updatesRunning)
        return;
    m_updatesRunning = true;
    m_error = NoError;
    openConnection();
}

void GpsdPositionSource::stopUpdates()
{
    m_updatesRunning = false;
    if (!m_requestPending)
        stopEverything();
}

void GpsdPositionSource::requestUpdate(int timeout)
{
    if (timeout < 0 || (timeout > 0 && timeout < minimumUpdateInterval())) {
        m_error = UpdateTimeoutError;
        Q_EMIT errorOccurred(UpdateTimeoutError);
        return;
    }
    if (!m_requestPending)
        m_error = NoError;
    m_requestPending = true;
    m_requestTimer.start(timeout > 0 ? timeout : defaultRequestTimeout);
    openConnection();
}

void GpsdPositionSource::openConnection()
{
    if (m_gps || m_opening || !isWanted())
        return;
    m_reconnectTimer.stop();
    m_opening = true;
    const quint64 attempt = ++m_attempt;
    try {
        std::thread([link = m_link, host = m_host, port = m_port, attempt] {
            const Connection connection = openAndWatch(host, port);
            const std::lock_guard lock(link->mutex);
            if (GpsdPositionSource *owner = link->owner) {
                // Should the source be deleted before this runs, Qt drops the call and the
                // connection closes with the last copy.
                QMetaObject::invokeMethod(
                    owner,
                    [owner, attempt, connection] { owner->connectionOpened(attempt, connection); },
                    Qt::QueuedConnection);
            }
        }).detach();
    } catch (const std::system_error &) {
        // No thread to connect with (resources exhausted): treat it as gpsd being unreachable.
        m_opening = false;
        reportOutage();
        retryLater();
    }
}

void GpsdPositionSource::connectionOpened(quint64 attempt, const Connection &connection)
{
    // An attempt that was overtaken by stopUpdates() (and maybe a new start) is stale.
    if (attempt != m_attempt || !m_opening)
        return;
    m_opening = false;
    if (!isWanted())
        return;
    if (!connection) {
        reportOutage();
        retryLater();
        return;
    }
    m_gps = connection;
    m_notifier = new QSocketNotifier(qintptr(m_gps->gps_fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &GpsdPositionSource::readReports);
}

void GpsdPositionSource::readReports()
{
    if (!m_gps)
        return;
    const quint64 serial = m_connectionSerial;
    for (int count = 0; count < maxReportsPerWakeUp; ++count) {
        // Only the start of the line is needed, to tell fixes from the other reports.
        char head[24] = {};
        const int status = gps_read(m_gps.get(), head, int(sizeof head));
        if (status < 0) {
            connectionLost();
            return;
        }
        if (status == 0)
            return; // nothing more until the socket has data again
        if (m_inOutage) {
            m_inOutage = false;
            if (m_error == ClosedError)
                m_error = NoError;
        }
        // Other reports leave the last fix in place; only a new TPV report is a new fix.
        if (std::string_view(head).starts_with(R"({"class":"TPV")"))
            handleFix(m_gps->fix);
        // A receiver of positionUpdated may have stopped or restarted the source.
        if (serial != m_connectionSerial)
            return;
    }
    // Whole lines may wait inside libgps's buffer, where the socket notifier cannot see them.
    QTimer::singleShot(0, this, [this, serial] {
        if (serial == m_connectionSerial)
            readReports();
    });
}

void GpsdPositionSource::handleFix(const gps_fix_t &fix)
{
    const QGeoPositionInfo info = positionFromFix(fix);
    if (!info.isValid())
        return;
    m_lastPosition = info;
    if (m_requestPending) {
        m_requestPending = false;
        m_requestTimer.stop();
        if (!m_updatesRunning)
            stopEverything();
    }
    Q_EMIT positionUpdated(info);
}

void GpsdPositionSource::connectionLost()
{
    closeConnection();
    reportOutage();
    retryLater();
}

void GpsdPositionSource::retryLater()
{
    // Whoever heard the error may have stopped the source meanwhile.
    if (isWanted())
        m_reconnectTimer.start();
}

void GpsdPositionSource::closeConnection()
{
    ++m_connectionSerial;
    if (m_notifier) {
        // Deleting the notifier from inside its own activated signal is not safe.
        m_notifier->setEnabled(false);
        m_notifier->disconnect(this);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_gps.reset();
}

void GpsdPositionSource::stopEverything()
{
    ++m_attempt;
    m_opening = false;
    m_inOutage = false;
    m_reconnectTimer.stop();
    m_requestTimer.stop();
    m_requestPending = false;
    closeConnection();
}

void GpsdPositionSource::reportOutage()
{
    if (m_inOutage)
        return;
    m_inOutage = true;
    m_error = ClosedError;
    Q_EMIT errorOccurred(ClosedError);
}

void GpsdPositionSource::requestTimedOut()
{
    m_requestPending = false;
    if (!m_updatesRunning)
        stopEverything();
    m_error = UpdateTimeoutError;
    Q_EMIT errorOccurred(UpdateTimeoutError);
}
