// UrlConnection: an asynchronous GET whose progress is reported to a delegate.
#include "UrlConnection.h"

#include "UrlExchange.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>

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
    return new UrlConnection(url, delegate);
}

UrlConnection::UrlConnection(const QUrl &url, UrlConnectionDelegate *delegate)
    : QObject(QCoreApplication::instance())
    , m_url(url)
    , m_delegate(delegate)
    , m_exchange(new UrlExchange(networkAccessManager(), url, this))
{
    connect(m_exchange, &UrlExchange::responseReceived, this,
            [this](int status) { m_delegate->connectionDidReceiveResponse(this, status); });
    connect(m_exchange, &UrlExchange::dataReceived, this,
            [this](const QByteArray &data) { m_delegate->connectionDidReceiveData(this, data); });
    connect(m_exchange, &UrlExchange::finished, this, [this] {
        deleteLater();
        m_delegate->connectionDidFinishLoading(this);
    });
    connect(m_exchange, &UrlExchange::failed, this, [this](const QString &error) {
        deleteLater();
        m_delegate->connectionDidFailWithError(this, error);
    });
}

void UrlConnection::cancel()
{
    m_exchange->cancel();
    deleteLater();
}
