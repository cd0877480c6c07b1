// UrlConnection: an asynchronous GET whose progress is reported to a delegate.
#pragma once

#include "UrlConnectionDelegate.h"

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class UrlExchange;

// A connection starts when made and keeps itself alive until it has finished or failed; then
// it deletes itself. All delegate calls come on the main thread, one at a time. Many
// connections may be in flight at once; the network layer queues those beyond its limit per
// host and starts them as others end. The delegate must outlive the connection or cancel it.
class UrlConnection : public QObject
{
    Q_OBJECT
public:
    static UrlConnection *start(const QUrl &url, UrlConnectionDelegate *delegate);

    [[nodiscard]] QUrl url() const { return m_url; }

    // Stops the connection; the delegate hears nothing more.
    void cancel();

    // The one network access manager that all asynchronous loads of the process share.
    static QNetworkAccessManager *networkAccessManager();

private:
    UrlConnection(const QUrl &url, UrlConnectionDelegate *delegate);

    QUrl m_url;
    UrlConnectionDelegate *m_delegate;
    UrlExchange *m_exchange;
};
