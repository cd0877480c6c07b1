// The program's options, read before the window system is opened, so that --help, --version
// and a wrong -location answer on a machine without a display.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

class QCoreApplication;

class CommandLine
{
public:
    CommandLine();

    // Reads argv before the application object exists. Qt's own options (-platform, -display
    // ...) are still in argv then; they are let through for QApplication to take. Returns
    // false when the program should end at once, with exitCode().
    bool read(int argc, char **argv);
    int exitCode() const { return m_exitCode; }

    // Refuses, as Qt's parser does, an option that neither Qt nor this program knows. Called
    // once the application has taken its own options out of the arguments.
    void refuseUnknownOptions(const QCoreApplication &app);

    QString locationSource() const { return m_parser.value(m_location); }

private:
    bool answerHelp(int argc, char **argv);

    QCommandLineParser m_parser;
    QCommandLineOption m_location;
    int m_exitCode = 0;
};
