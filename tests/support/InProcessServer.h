// InProcessServer: the tracking server's parts in the test's own process: the store on a
// database, the service with its policy, the web pages and the HTTP front end over them.
#pragma once

#include "HttpFrontEnd.h"
#include "TrackingService.h"
#include "TrackingStore.h"
#include "WebPages.h"

class InProcessServer
{
public:
    // The database is an SQLite file or a PostgreSQL URL, as TrackingStore::open takes it.
    explicit InProcessServer(const QString &database, const TrackingService::Policy &policy = {},
        const QString &tiles = QString())
        : service(opened(database), policy)
        , pages(store, tiles)
        , http(service, pages)
    { }

    TrackingStore store;
    TrackingService service;
    WebPages pages;
    HttpFrontEnd http;

private:
    TrackingStore &opened(const QString &database)
    {
        store.open(database);
        return store;
    }
};
