// UrlExchange: one HTTP GET with the rules every request of the program follows.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

// Starts at construction. Emits responseReceived when the server's response begins (again
// after a redirect), dataReceived for each piece of the body, then exactly one of finished,
// bodyTooLarge or failed.
//
// Any HTTP response is an answer, whatever its status: a 400, a 407 or a 3xx without a
// Location finishes with its body like a 200. Only transport failures (no complete response:
// refused, closed early, host not found), the time-out and unusable redirects fail. A body
// over maxBodySize is let go as it arrives, and the exchange ends with bodyTooLarge.
// The request carries no headers beyond those Qt's network stack adds itself.
class UrlExchange : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxBodySize = 1024 * 1024;
    static constexpr int maxRedirects = 50;

    // The time an exchange may take from start to its last byte; 60 s unless a test sets less.
    [[nodiscard]] static std::chrono::milliseconds timeout();
    static void setTimeout(std::chrono::milliseconds timeout);

    UrlExchange(QNetworkAccessManager *manager, const QUrl &url, QObject *parent = nullptr);
    ~UrlExchange() override;

    // Stops the exchange without emitting anything more.
    void cancel();

Q_SIGNALS:
    void responseReceived(int statusCode);
    void dataReceived(const QByteArray &data);
    void finished();
    void bodyTooLarge(int statusCode);
    void failed(const QString &error);

private:
    void send(const QUrl &url);
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    [[nodiscard]] int statusCode() const;
    void followRedirect();
    void dropBody();
    void fail(const QString &error);
    void stop();

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QUrl m_redirect; // where the current response sends us; empty when it is the answer
    int m_redirects = 0;
    qint64 m_received = 0;
    bool m_responded = false;
    bool m_done = false;
};
