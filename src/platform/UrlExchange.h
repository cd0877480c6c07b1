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

// Starts at construction. Emits responseReceived when the server's response begins (again after
// a redirect), dataReceived for each piece of the body, then exactly one of finished or failed.
// The HTTP status is passed on but never decides the outcome: a 404 with a body finishes. Only
// transport failures, the time-out and a body over maxBodySize fail.
class UrlExchange : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxBodySize = 1024 * 1024;

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
    void failed(const QString &error);

private:
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void fail(const QString &error);
    void stop();

    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    qint64 m_received = 0;
    bool m_responded = false;
    bool m_done = false;
};
