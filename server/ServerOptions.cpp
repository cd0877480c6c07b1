// ServerOptions: reading peregrix-server's command line.
#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QCommandLineOption addressOption({ QStringLiteral("a"), QStringLiteral("address") },
    QStringLiteral("Listen on ADDRESS (default 127.0.0.1)."), QStringLiteral("ADDRESS"));
const QCommandLineOption portOption({ QStringLiteral("p"), QStringLiteral("port") },
    QStringLiteral("Listen on PORT (default 8080; 0 takes a free "
                   "port and prints it)."),
    QStringLiteral("PORT"));
const QCommandLineOption pageAddressOption(QStringLiteral("page-address"),
    QStringLiteral("Serve the page and the downloads on ADDRESS:PORT only (default "
                   "127.0.0.1:8081; [ADDRESS]:PORT for IPv6, port 0 takes a free one)."),
    QStringLiteral("ADDRESS:PORT"));
const QCommandLineOption tlsCertOption(QStringLiteral("tls-cert"),
    QStringLiteral("Speak HTTPS with the certificate (and its chain) in this PEM FILE."),
    QStringLiteral("FILE"));
const QCommandLineOption tlsKeyOption(QStringLiteral("tls-key"),
    QStringLiteral("The certificate's private key, a PEM FILE without a passphrase."),
    QStringLiteral("FILE"));
const QCommandLineOption newDevicesOption(QStringLiteral("new-devices-per-minute"),
    QStringLiteral("Take at most N devices new to the server per network address and minute "
                   "(default 10; 0: no limit)."),
    QStringLiteral("N"));
const QCommandLineOption databaseOption({ QStringLiteral("d"), QStringLiteral("database") },
    QStringLiteral("The SQLite database FILE (default "
                   "~/.local/share/peregrix-server/"
                   "tracking.sqlite), or a PostgreSQL database as "
                   "postgresql://USER@HOST:PORT/DBNAME."),
    QStringLiteral("FILE"));
const QCommandLineOption closedOption(QStringLiteral("closed-registration"),
    QStringLiteral("Validate only names added with add-user."));
const QCommandLineOption tilesOption(QStringLiteral("tiles"),
    QStringLiteral("The page's map tiles from URL, with {z}, {x} and {y} in it (default "
                   "OpenStreetMap's), or none for a blank map."),
    QStringLiteral("URL"));
const QCommandLineOption printOption(QStringLiteral("print-reports"),
    QStringLiteral("Print each newly stored report on standard output, one line: the device's "
                   "time, the name, the position, the speed, the id and whether it came late."));
const QCommandLineOption noTestOption(QStringLiteral("no-test-user"),
    QStringLiteral("Refuse reports under the shared name "
                   "\"test\"."));

const char *const commands = "Commands (instead of serving; the server may be running):\n"
                             "  devices                   list the devices\n"
                             "  users                     list the user names\n"
                             "  add-user NAME             add a name that any device may "
                             "validate\n"
                             "  release-user NAME         free a name for any device, also one "
                             "that reports carry\n"
                             "  stop DEVICE [MESSAGE]     stop a device: its reports get MESSAGE\n"
                             "  resume DEVICE             let a stopped device report again\n"
                             "  export-gpx DEVICE [FILE]  write the device's track as GPX (to "
                             "standard output without FILE)\n"
                             "DEVICE is a device's identifier or the alias the page shows.\n";

void configure(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("The Peregrix tracking server: takes position reports, validates user "
                       "names, answers account information, and shows the tracks at /."));
    parser.addOptions({ addressOption, portOption, pageAddressOption, tlsCertOption, tlsKeyOption,
        databaseOption, closedOption, noTestOption, newDevicesOption, printOption, tilesOption });
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
        QStringLiteral("An operator command, see below."), QStringLiteral("[command [arguments]]"));
}

// ADDRESS:PORT, or [ADDRESS]:PORT for IPv6.
bool parseAddressAndPort(const QString &text, QHostAddress &address, quint16 &port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return false; // an IPv6 address needs its brackets
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535 || !address.setAddress(host))
        return false;
    port = quint16(number);
    return true;
}

} // namespace

QString ServerOptions::defaultDatabase()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/peregrix-server/tracking.sqlite");
}

QString ServerOptions::helpText()
{
    QCommandLineParser parser;
    configure(parser);
    return parser.helpText() + QLatin1Char('\n') + QLatin1String(commands);
}

std::variant<ServerOptions, QString> ServerOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    configure(parser);
    if (!parser.parse(arguments))
        return parser.errorText();
    ServerOptions options;
    options.help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    options.version = parser.isSet(QStringLiteral("version"));
    if (parser.isSet(addressOption) && !options.address.setAddress(parser.value(addressOption)))
        return QStringLiteral("Not an IP address: %1").arg(parser.value(addressOption));
    if (parser.isSet(portOption)) {
        bool ok = false;
        const uint port = parser.value(portOption).toUInt(&ok);
        if (!ok || port > 65535)
            return QStringLiteral("Not a port: %1").arg(parser.value(portOption));
        options.port = quint16(port);
    }
    if (parser.isSet(pageAddressOption)
        && !parseAddressAndPort(
            parser.value(pageAddressOption), options.pageAddress, options.pagePort))
        return QStringLiteral("Not an ADDRESS:PORT: %1").arg(parser.value(pageAddressOption));
    options.tlsCertificate = parser.value(tlsCertOption);
    options.tlsKey = parser.value(tlsKeyOption);
    if (options.tlsCertificate.isEmpty() != options.tlsKey.isEmpty())
        return QStringLiteral("--tls-cert and --tls-key go together");
    if (parser.isSet(newDevicesOption)) {
        bool ok = false;
        const int limit = parser.value(newDevicesOption).toInt(&ok);
        if (!ok || limit < 0)
            return QStringLiteral("Not a number of devices: %1")
                .arg(parser.value(newDevicesOption));
        options.policy.newDevicesPerMinute = limit;
    }
    options.database
        = parser.isSet(databaseOption) ? parser.value(databaseOption) : defaultDatabase();
    options.policy.closedRegistration = parser.isSet(closedOption);
    options.policy.testUser = !parser.isSet(noTestOption);
    options.policy.printReports = parser.isSet(printOption);
    if (parser.isSet(tilesOption)) {
        const QString tiles = parser.value(tilesOption);
        const QUrl url(tiles, QUrl::StrictMode);
        if (tiles == u"none")
            options.tiles.clear();
        else if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http")
            || url.host().isEmpty() || !tiles.contains(u"{z}"))
            return QStringLiteral("Not a tile URL with {z}, {x} and {y}: %1").arg(tiles);
        else
            options.tiles = tiles;
    }
    options.command = parser.positionalArguments();
    return options;
}
