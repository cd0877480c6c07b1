// peregrix-server: serves the program's exchanges and the track page, or runs an operator
// command on the database.
#include "HttpFrontEnd.h"
#include "OperatorCommands.h"
#include "ServerOptions.h"
#include "TrackingService.h"
#include "TrackingStore.h"
#include "WebPages.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QSslKey>
#include <QSslSocket>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so the database is closed properly (the log folded
// back into the file) rather than left for the next start to recover.
void quitOnTerminationSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

QString urlHost(const QHostAddress &address)
{
    return address.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
        : address.toString();
}

// The certificate with its chain and the private key, both PEM; or what is wrong with them.
std::variant<QSslConfiguration, QString> tlsConfiguration(const ServerOptions &options)
{
    if (!QSslSocket::supportsSsl())
        return QStringLiteral("TLS is not available: no TLS backend for Qt is installed");
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(options.tlsCertificate);
    if (chain.isEmpty())
        return QStringLiteral("no PEM certificate in %1").arg(options.tlsCertificate);
    QFile file(options.tlsKey);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(options.tlsKey, file.errorString());
    const QByteArray pem = file.readAll();
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : { QSsl::Rsa, QSsl::Ec, QSsl::Dsa }) {
        if (key.isNull())
            key = QSslKey(pem, algorithm);
    }
    if (key.isNull())
        return QStringLiteral("no private key in %1 (PEM, without a passphrase)")
            .arg(options.tlsKey);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

int serve(QCoreApplication &app, TrackingStore &store, const ServerOptions &options)
{
    try {
        // The serving thread only reads (writes go to the report writer's thread); this
        // bounds the rare waits there are, so that the one thread never stalls for seconds.
        store.keepWaitsShort();
    } catch (const TrackingStore::Error &error) {
        std::fprintf(stderr, "peregrix-server: %s\n", error.what());
        return 1;
    }
    TrackingService service(store, options.policy);
    WebPages pages(store, options.tiles);
    HttpFrontEnd http(service, pages);
    const bool tls = !options.tlsCertificate.isEmpty();
    if (tls) {
        const std::variant<QSslConfiguration, QString> configuration = tlsConfiguration(options);
        if (const QString *problem = std::get_if<QString>(&configuration)) {
            std::fprintf(stderr, "peregrix-server: %s\n", qPrintable(*problem));
            return 1;
        }
        http.setTls(std::get<QSslConfiguration>(configuration));
    }
    const quint16 port = http.listen(options.address, options.port, HttpFrontEnd::Side::Public);
    if (port == 0)
        return 1;
    const quint16 pagePort
        = http.listen(options.pageAddress, options.pagePort, HttpFrontEnd::Side::Operator);
    if (pagePort == 0)
        return 1;
    // Tests and scripts read the ports from these lines.
    const char *scheme = tls ? "https" : "http";
    std::printf("peregrix-server: listening on %s://%s:%u/ (database %s)\n", scheme,
        qPrintable(urlHost(options.address)), unsigned(port), qPrintable(options.database));
    std::printf("peregrix-server: the page and downloads on %s://%s:%u/\n", scheme,
        qPrintable(urlHost(options.pageAddress)), unsigned(pagePort));
    std::fflush(stdout);
    quitOnTerminationSignals(app);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // The report writer's memory grows and shrinks with every batch. Left to itself, glibc gave
    // the freed top of the writer's heap back to the system after each batch and faulted it in
    // again for the next, flushing the TLB of every core each time: a fifth of the writer's
    // time under load. Keeping up to 32 MiB of freed memory is the cheaper trade for a server.
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
    // Every reply turns its socket's write watch on and off again. Qt's GLib event loop wakes
    // itself through an eventfd for each such change, two system calls and an extra turn of the
    // loop per reply; its own Unix loop does neither. The server has no use for GLib, and the
    // writer's thread takes the same loop.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("peregrix-server"));
    app.setApplicationVersion(QStringLiteral(PEREGRIX_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const std::variant<ServerOptions, QString> parsed
        = ServerOptions::parse(QCoreApplication::arguments());
    if (const QString *problem = std::get_if<QString>(&parsed)) {
        err << "peregrix-server: " << *problem << "\nSee peregrix-server --help." << Qt::endl;
        return OperatorCommands::Usage;
    }
    const ServerOptions &options = std::get<ServerOptions>(parsed);
    if (options.help) {
        out << ServerOptions::helpText() << Qt::flush;
        return 0;
    }
    if (options.version) {
        out << "peregrix-server " << PEREGRIX_VERSION << Qt::endl;
        return 0;
    }

    TrackingStore store;
    try {
        store.open(options.database);
    } catch (const TrackingStore::Error &error) {
        err << "peregrix-server: " << error.what() << Qt::endl;
        return 1;
    }
    if (!options.command.isEmpty())
        return OperatorCommands(store, out, err).run(options.command);
    return serve(app, store, options);
}
