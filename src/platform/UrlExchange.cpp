// UrlExchange: one HTTP GET with the rules every request of the program follows.
#include "UrlExchange.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <atomic>

namespace {

std::atomic<qint64> timeoutMs { 60'000 };

// Qt answers a status it knows (400 and 418 as protocol errors, 407 as a proxy error, other
// 4xx and 5xx as content and server errors) only once the body is whole: those are answers.
// Network-layer errors (refused, closed before the end, host not found, time-out) are not,
// nor is anything that came without a status line.
bool isTransportFailure(QNetworkReply *reply)
{
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError)
        return false;
    const bool httpAnswer = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    return !httpAnswer || error < QNetworkReply::ProxyConnectionRefusedError;
}

// The statuses Qt itself would follow.
bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307
        || status == 308;
}

// As Qt's default policy: on to http or https only, and never from https down to http.
bool mayFollow(const QUrl &from, const QUrl &to)
{
    const QString scheme = to.scheme();
    if (!to.isValid() || to.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return false;
    return !(from.scheme() == u"https" && scheme == u"http");
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
    , m_manager(manager)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this,
        [this] { fail(QStringLiteral("The request timed out")); });
    m_deadline.start(timeout());
    send(url);
}

UrlExchange::~UrlExchange()
{
    stop();
}

// Redirects are followed here rather than by Qt, which drops the body of a 3xx it cannot
// follow; a 3xx without a Location is then an answer like any other.
void UrlExchange::send(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_redirect.clear();
    m_responded = false;
    m_received = 0;
    m_reply = m_manager->get(request);
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &UrlExchange::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &UrlExchange::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UrlExchange::onFinished);
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

int UrlExchange::statusCode() const
{
    return m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

void UrlExchange::onMetaDataChanged()
{
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || m_responded || !m_redirect.isEmpty())
        return;
    // The Location as it stands, relative or not (Qt reads it for us under any policy).
    const QUrl location = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (isRedirect(status.toInt()) && location.isValid() && !location.isEmpty()) {
        const QUrl target = m_reply->url().resolved(location);
        if (!mayFollow(m_reply->url(), target))
            fail(QStringLiteral("The server redirected to %1")
                     .arg(target.toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo)));
        else if (++m_redirects > maxRedirects)
            fail(QStringLiteral("The server redirected more than %1 times").arg(maxRedirects));
        else
            m_redirect = target;
        return;
    }
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBodySize) {
        dropBody();
        return;
    }
    m_responded = true;
    Q_EMIT responseReceived(status.toInt());
}

void UrlExchange::onReadyRead()
{
    if (m_done)
        return;
    const QByteArray data = m_reply->readAll();
    if (data.isEmpty() || !m_redirect.isEmpty())
        return;
    m_received += data.size();
    if (m_received > maxBodySize) {
        dropBody();
        return;
    }
    if (!m_responded) {
        m_responded = true;
        Q_EMIT responseReceived(statusCode());
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
    if (!m_redirect.isEmpty()) {
        followRedirect();
        return;
    }
    onReadyRead();
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    if (!m_responded)
        Q_EMIT responseReceived(statusCode());
    Q_EMIT finished();
}

void UrlExchange::followRedirect()
{
    const QUrl target = m_redirect;
    m_reply->disconnect(this);
    m_reply->deleteLater();
    send(target);
}

void UrlExchange::dropBody()
{
    const int status = statusCode();
    m_done = true;
    stop();
    Q_EMIT bodyTooLarge(status);
}

void UrlExchange::fail(const QString &error)
{
    if (m_done)
        return;
    m_done = true;
    stop();
    Q_EMIT failed(error);
}
