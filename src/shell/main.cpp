// The entry point: the options, the application loop and the application delegate.
#include "AppDelegate.h"
#include "CommandLine.h"

#include "platform/LocationManager.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication::setApplicationName(QStringLiteral("Peregrix"));
    QApplication::setApplicationVersion(QStringLiteral(PEREGRIX_VERSION));
    CommandLine commandLine;
    if (!commandLine.read(argc, argv))
        return commandLine.exitCode();

    QApplication app(argc, argv);
    commandLine.refuseUnknownOptions(app);
    QApplication::setDesktopFileName(QStringLiteral("example.peregrix.Peregrix"));
    LocationManager::setSourceOption(commandLine.locationSource());
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
