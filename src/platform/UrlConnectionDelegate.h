// UrlConnectionDelegate: what an asynchronous URL load reports back, on the main thread.
#pragma once

#include <QByteArray>
#include <QString>

class UrlConnection;

class UrlConnectionDelegate
{
public:
    virtual ~UrlConnectionDelegate() = default;

    // The response begins (again after a redirect): a reply buffer starts afresh here.
    virtual void connectionDidReceiveResponse(UrlConnection *connection, int statusCode) = 0;
    virtual void connectionDidReceiveData(UrlConnection *connection, const QByteArray &data) = 0;
    virtual void connectionDidFinishLoading(UrlConnection *connection) = 0;
    virtual void connectionDidFailWithError(UrlConnection *connection, const QString &error) = 0;
};
