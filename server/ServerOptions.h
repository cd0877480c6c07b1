// ServerOptions: peregrix-server's command line: where to listen, for the phones and for the
// operator's page, TLS, the database, registration, and the operator command to run instead of
// serving.
#pragma once

#include "TrackingService.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <variant>

struct ServerOptions
{
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 8080; // 0: any free port, printed once listening
    // The page and the downloads: the operator's own listener.
    QHostAddress pageAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 pagePort = 8081;
    // PEM files; both or neither.
    QString tlsCertificate;
    QString tlsKey;
    QString database;
    // The page's map tiles, {z}/{x}/{y} in the URL; empty: no tiles, the track on a blank map.
    QString tiles = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    TrackingService::Policy policy;
    QStringList command; // empty: serve
    bool help = false;
    bool version = false;

    // The options, or an error text for the user. `arguments` includes the program name.
    [[nodiscard]] static std::variant<ServerOptions, QString> parse(const QStringList &arguments);
    [[nodiscard]] static QString helpText();
    // In the user's data folder: ~/.local/share/peregrix-server/tracking.sqlite.
    [[nodiscard]] static QString defaultDatabase();
};
