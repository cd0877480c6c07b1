// contentsOfUrl: a GET that blocks the calling thread until the whole reply is there.
#include "ContentsOfUrl.h"

#include "UrlExchange.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QStringDecoder>
#include <QThread>

#include <memory>

namespace {

struct Outcome
{
    QByteArray body;
    QString error;
    bool ok = false;
};

// Runs on the fetch thread, which has an event loop of its own.
Outcome fetch(const QUrl &url)
{
    Outcome outcome;
    QNetworkAccessManager manager;
    UrlExchange exchange(&manager, url);
    QEventLoop loop;
    QObject::connect(&exchange, &UrlExchange::responseReceived, [&] { outcome.body.clear(); });
    QObject::connect(&exchange, &UrlExchange::dataReceived,
        [&](const QByteArray &data) { outcome.body += data; });
    QObject::connect(&exchange, &UrlExchange::finished, [&] {
        outcome.ok = true;
        loop.quit();
    });
    QObject::connect(&exchange, &UrlExchange::bodyTooLarge, [&] {
        outcome.error
            = QStringLiteral("The reply is larger than %1 bytes").arg(UrlExchange::maxBodySize);
        loop.quit();
    });
    QObject::connect(&exchange, &UrlExchange::failed, [&](const QString &error) {
        outcome.error = error;
        loop.quit();
    });
    loop.exec();
    return outcome;
}

} // namespace

QString contentsOfUrl(const QUrl &url, QString *error)
{
    Outcome outcome;
    std::unique_ptr<QThread> thread(QThread::create([&] { outcome = fetch(url); }));
    thread->start();
    thread->wait();

    QString text;
    if (outcome.ok) {
        // A byte-order mark is kept: a reply that starts with one is not "VALIDATED".
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        text = decoder.decode(outcome.body);
        if (decoder.hasError()) {
            text = QString();
            outcome.error = QStringLiteral("The reply is not UTF-8 text");
        } else if (text.isNull()) {
            text = QStringLiteral("");
        }
    }
    if (error)
        *error = text.isNull() ? outcome.error : QString();
    return text;
}
