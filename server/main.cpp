// peregrix-server: serves the program's exchanges and the track page, or runs an operator
// command on the database.
#include "HttpFrontEnd.h"
#include "OperatorCommands.h"
#include "ServerOptions.h"
#include "TrackingService.h"
#include "TrackingStore.h"
#include "WebPages.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
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

int serve(QCoreApplication &app, TrackingStore &store, const ServerOptions &options)
{
    TrackingService service(store, options.policy);
    WebPages pages(store, options.tiles);
    HttpFrontEnd http(service, pages);
    const quint16 port = http.listen(options.address, options.port);
    if (port == 0)
        return 1;
    // Tests and scripts read the port from this line.
    std::printf("peregrix-server: listening on http://%s:%u/ (database %s)\n",
        qPrintable(urlHost(options.address)), unsigned(port), qPrintable(options.database));
    std::fflush(stdout);
    quitOnTerminationSignals(app);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
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
