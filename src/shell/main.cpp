// The entry point: the application loop, the -location option and the application delegate.
#include "AppDelegate.h"

#include "platform/LocationManager.h"
#include "platform/PositionSources.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>

namespace {

// -location is a platform option, like Qt's own -platform: it chooses the position source.
bool takeLocationOption(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reports the device's position to a tracking server."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption location(
        QStringLiteral("location"),
        QStringLiteral("Where positions come from: system (default), nmea:FILE (a recording, "
                       "replayed in a loop), serial:DEVICE[:BAUD] or gpsd[:HOST[:PORT]]."),
        QStringLiteral("source"), QStringLiteral("system"));
    parser.addOption(location);
    parser.process(app);
    const QString source = parser.value(location);
    if (!PositionSources::isValidOption(source)) {
        std::fprintf(stderr, "peregrix: unknown location source '%s'\n%s",
                     qPrintable(source), qPrintable(parser.helpText()));
        return false;
    }
    LocationManager::setSourceOption(source);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Peregrix"));
    QApplication::setApplicationVersion(QStringLiteral(PEREGRIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("example.peregrix.Peregrix"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/peregrix.png")));
    if (!takeLocationOption(app))
        return 2;
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
