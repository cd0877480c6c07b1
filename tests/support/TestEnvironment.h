// Test set-up shared by every test: Qt's test-mode standard paths, a fixed time zone and locale.
#pragma once

#include <QDir>
#include <QLocale>
#include <QStandardPaths>

namespace TestEnvironment {

// Every run starts from an empty store: nothing a previous run left behind is read.
inline void prepare()
{
    QStandardPaths::setTestModeEnabled(true);
    for (const auto location :
         { QStandardPaths::GenericConfigLocation, QStandardPaths::GenericDataLocation })
        QDir(QStandardPaths::writableLocation(location) + QStringLiteral("/Peregrix"))
            .removeRecursively();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

} // namespace TestEnvironment

// QTEST_MAIN with the shared set-up before the application object exists.
#define PEREGRIX_TEST_MAIN(TestClass)                                                           \
    int main(int argc, char **argv)                                                             \
    {                                                                                           \
        TestEnvironment::prepare();                                                             \
        QApplication app(argc, argv);                                                           \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                \
        TestClass test;                                                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                                              \
        return QTest::qExec(&test, argc, argv);                                                 \
    }
