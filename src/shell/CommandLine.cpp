#include "CommandLine.h"

#include "platform/PositionSources.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

CommandLine::CommandLine()
    : m_location(QStringLiteral("location"),
        QStringLiteral("Where positions come from: system (default), nmea:FILE (a recording, "
                       "replayed in a loop), serial:DEVICE[:BAUD] or gpsd[:HOST[:PORT]]."),
        QStringLiteral("source"), QStringLiteral("system"))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Reports the device's position to a tracking server."));
    // -location is a platform option, like Qt's own -platform: it chooses the position source.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOption(m_location);
}

bool CommandLine::read(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Unknown options are not errors yet: they may be Qt's own.
    if (!m_parser.parse(arguments) && m_parser.unknownOptionNames().isEmpty()) {
        std::fprintf(stderr, "peregrix: %s\n", qPrintable(m_parser.errorText()));
        m_exitCode = 1;
        return false;
    }
    if (m_parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
            qPrintable(QCoreApplication::applicationVersion()));
        return false;
    }
    // --help-all lists Qt's window system options too, which only the application object
    // knows: it is answered once that exists.
    if (m_parser.isSet(QStringLiteral("help")))
        return answerHelp(argc, argv);
    if (!PositionSources::isValidOption(locationSource())) {
        std::fprintf(
            stderr, "peregrix: unknown location source '%s'\n", qPrintable(locationSource()));
        m_exitCode = 2;
        return false;
    }
    return true;
}

bool CommandLine::answerHelp(int argc, char **argv)
{
    // The help text names the program as it was started, which it learns from an
    // application object; one without a window system will do.
    const QCoreApplication app(argc, argv);
    std::fputs(qPrintable(m_parser.helpText()), stdout);
    return false;
}

void CommandLine::refuseUnknownOptions(const QCoreApplication &app)
{
    m_parser.process(app);
}
