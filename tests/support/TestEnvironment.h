// Test set-up shared by every test: the program's name, Qt's test-mode standard paths, a fixed
// time zone and locale.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>

namespace TestEnvironment {

// The name the program gives itself, which names its preferences and data folders, and Qt's
// test-mode standard paths, so that no test or test tool ever touches the user's own.
inline void useTestStore()
{
    QCoreApplication::setApplicationName(QStringLiteral("Peregrix"));
    QStandardPaths::setTestModeEnabled(true);
}

// Every run starts from an empty store: nothing a previous run left behind is read.
inline void prepare()
{
    useTestStore();
    for (const auto location :
        { QStandardPaths::GenericConfigLocation, QStandardPaths::GenericDataLocation })
        QDir(QStandardPaths::writableLocation(location) + QLatin1Char('/')
            + QCoreApplication::applicationName())
            .removeRecursively();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

} // namespace TestEnvironment

// QTEST_MAIN with the shared set-up before the application object exists.
#define PEREGRIX_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        TestEnvironment::prepare();                                                                \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
