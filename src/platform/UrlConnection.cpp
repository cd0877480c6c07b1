// UrlConnection: an asynchronous GET whose progress is reported to a delegate.
#include "UrlConnection.h"

#include "UrlExchange.h"

#include <QCoreApplication>
#include <QHash>
#include <QNetworkAccessManager>
#include <QPointer>

#include <deque>

namespace {

struct HostQueue
{
    int active = 0;
    std::deque<QPointer<UrlConnection>> waiting;
};

QHash<QString, HostQueue> hosts;

} // namespace

QNetworkAccessManager *UrlConnection::networkAccessManager()
{
    // Owned by the application object, so it goes before Qt's own globals do.
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}

UrlConnection *UrlConnection::start(const QUrl &url, UrlConnectionDelegate *delegate)
{
    auto *connection = new UrlConnection(url, delegate);
    HostQueue &queue = hosts[connection->hostKey()];
    if (queue.active < maxConnectionsPerHost)
        connection->begin();
    else
        queue.waiting.emplace_back(connection);
    return connection;
}

UrlConnection::UrlConnection(const QUrl &url, UrlConnectionDelegate *delegate)
    : QObject(QCoreApplication::instance())
    , m_url(url)
    , m_delegate(delegate)
{ }

QString UrlConnection::hostKey() const
{
    return m_url.scheme() + QLatin1String("://") + m_url.host() + QLatin1Char(':')
        + QString::number(m_url.port());
}

void UrlConnection::begin()
{
    ++hosts[hostKey()].active;
    m_exchange = new UrlExchange(networkAccessManager(), m_url, this);
    connect(m_exchange, &UrlExchange::responseReceived, this,
        [this](int status) { m_delegate->connectionDidReceiveResponse(this, status); });
    connect(m_exchange, &UrlExchange::dataReceived, this,
        [this](const QByteArray &data) { m_delegate->connectionDidReceiveData(this, data); });
    connect(m_exchange, &UrlExchange::finished, this, [this] {
        end();
        m_delegate->connectionDidFinishLoading(this);
    });
    // A reply too large to keep reaches the delegate as an empty one, so that it counts as a
    // reply that is not "OK" rather than as no reply at all.
    connect(m_exchange, &UrlExchange::bodyTooLarge, this, [this](int status) {
        end();
        m_delegate->connectionDidReceiveResponse(this, status);
        m_delegate->connectionDidFinishLoading(this);
    });
    connect(m_exchange, &UrlExchange::failed, this, [this](const QString &error) {
        end();
        m_delegate->connectionDidFailWithError(this, error);
    });
}

// Gives the connection's place to the next one waiting for the same host.
void UrlConnection::end()
{
    if (m_ended)
        return;
    m_ended = true;
    deleteLater();
    if (!m_exchange)
        return;
    HostQueue &queue = hosts[hostKey()];
    --queue.active;
    while (!queue.waiting.empty() && queue.active < maxConnectionsPerHost) {
        QPointer<UrlConnection> next = queue.waiting.front();
        queue.waiting.pop_front();
        if (next && !next->m_ended)
            next->begin();
    }
}

void UrlConnection::cancel()
{
    if (m_exchange)
        m_exchange->cancel();
    end();
}
