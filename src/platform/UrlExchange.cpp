// UrlExchange: one HTTP GET with the rules every request of the program follows.
#include "UrlExchange.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <atomic>

namespace {

std::atomic<qint64> timeoutMs { 60'000 };

bool isTransportFailure(QNetworkReply *reply)
{
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError)
        return false;
    // Content (2xx codes) and server (4xx codes) errors are HTTP answers with a body; connection,
    // proxy and protocol errors mean the exchange did not complete.
    const bool httpAnswer = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const bool contentOrServerError = (error >= QNetworkReply::ContentAccessDenied
                                       && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError
            && error <= QNetworkReply::UnknownServerError);
    return !(httpAnswer && contentOrServerError);
}

QString tooLargeText()
{
    return QStringLiteral("The reply is larger than %1 bytes").arg(UrlExchange::maxBodySize);
}

} // namespace

std::chrono::milliseconds UrlExchange::timeout()
{
    return std::chrono::milliseconds(timeoutMs.load());
}

void UrlExchange::setTimeout(std::chrono::milliseconds timeout)
{
    timeoutMs = timeout.count();
}

UrlExchange::UrlExchange(QNetworkAccessManager *manager, const QUrl &url, QObject *parent)
    : QObject(parent)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    m_reply = manager->get(request);
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &UrlExchange::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &UrlExchange::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UrlExchange::onFinished);

    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("The request timed out")); });
    m_deadline.start(timeout());
}

UrlExchange::~UrlExchange()
{
    stop();
}

void UrlExchange::cancel()
{
    m_done = true;
    stop();
}

void UrlExchange::stop()
{
    m_deadline.stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UrlExchange::onMetaDataChanged()
{
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBodySize) {
        fail(tooLargeText());
        return;
    }
    m_responded = true;
    m_received = 0;
    Q_EMIT responseReceived(status.toInt());
}

void UrlExchange::onReadyRead()
{
    if (m_done)
        return;
    const QByteArray data = m_reply->readAll();
    if (data.isEmpty())
        return;
    m_received += data.size();
    if (m_received > maxBodySize) {
        fail(tooLargeText());
        return;
    }
    if (!m_responded) {
        m_responded = true;
        Q_EMIT responseReceived(
            m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
    }
    Q_EMIT dataReceived(data);
}

void UrlExchange::onFinished()
{
    if (m_done)
        return;
    if (isTransportFailure(m_reply)) {
        fail(m_reply->errorString());
        return;
    }
    onReadyRead();
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    if (!m_responded)
        Q_EMIT responseReceived(
            m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
    Q_EMIT finished();
}

void UrlExchange::fail(const QString &error)
{
    if (m_done)
        return;
    m_done = true;
    stop();
    Q_EMIT failed(error);
}
