// UrlConnection: an asynchronous GET whose progress is reported to a delegate.
#pragma once

#include "UrlConnectionDelegate.h"

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class UrlExchange;

// A connection starts when made and keeps itself alive until it has finished or failed; then
// it deletes itself. All delegate calls come on the main thread, one at a time. Any HTTP
// response finishes, whatever its status; a body over UrlExchange::maxBodySize is let go, and
// the delegate then hears the response begin afresh and finish with nothing in it.
//
// Any number of connections may be started at once. At most maxConnectionsPerHost of them talk
// to one host at a time; the others wait their turn in order, and their time-out only starts
// when their request goes out, so a long queue never makes a request fail unsent.
// The delegate must outlive the connection or cancel it.
class UrlConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxConnectionsPerHost = 6;

    static UrlConnection *start(const QUrl &url, UrlConnectionDelegate *delegate);

    [[nodiscard]] QUrl url() const { return m_url; }

    // Stops the connection, or takes it out of the queue; the delegate hears nothing more.
    void cancel();

    // The one network access manager that all asynchronous loads of the process share.
    static QNetworkAccessManager *networkAccessManager();

private:
    UrlConnection(const QUrl &url, UrlConnectionDelegate *delegate);

    void begin();
    void end();
    [[nodiscard]] QString hostKey() const;

    QUrl m_url;
    UrlConnectionDelegate *m_delegate;
    UrlExchange *m_exchange = nullptr;
    bool m_ended = false;
};
