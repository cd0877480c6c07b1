// The real program's options: --help, --version and a wrong -location answer with no window
// system at all, and options nobody knows are refused once Qt has taken its own.
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data();
    void answers();
};

void tst_CommandLine::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("offscreen");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    const QString version = QStringLiteral("^Peregrix " PEREGRIX_VERSION "\n$");
    const QString help = QStringLiteral("Usage: .*peregrix \\[options\\].*-location <source>");
    QTest::newRow("--version") << QStringList { "--version" } << false << 0 << version;
    QTest::newRow("-v") << QStringList { "-v" } << false << 0 << version;
    QTest::newRow("Qt option before --version")
        << QStringList { "-platform", "xcb", "--version" } << false << 0 << version;
    QTest::newRow("--help") << QStringList { "--help" } << false << 0 << help;
    QTest::newRow("-h after a wrong source")
        << QStringList { "-location", "bogus", "-h" } << false << 0 << help;
    QTest::newRow("wrong source") << QStringList { "-location", "bogus" } << false << 2
                                  << QStringLiteral("unknown location source 'bogus'");
    QTest::newRow("empty nmea file name") << QStringList { "-location", "nmea:" } << false << 2
                                          << QStringLiteral("unknown location source 'nmea:'");
    QTest::newRow("source missing") << QStringList { "-location" } << false << 1
                                    << QStringLiteral("Missing value after '-location'");
    QTest::newRow("unknown option") << QStringList { "--frobnicate" } << true << 1
                                    << QStringLiteral("Unknown option 'frobnicate'");
    QTest::newRow("--help-all lists Qt's options")
        << QStringList { "--help-all" } << true << 0 << QStringLiteral("-platform");
}

void tst_CommandLine::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, offscreen);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    if (offscreen)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess peregrix;
    peregrix.setProcessEnvironment(environment);
    peregrix.start(QStringLiteral(PEREGRIX), arguments);
    QVERIFY(peregrix.waitForFinished(20000));
    const QString printed
        = QString::fromUtf8(peregrix.readAllStandardOutput() + peregrix.readAllStandardError());
    QCOMPARE(peregrix.exitStatus(), QProcess::NormalExit);
    QCOMPARE(peregrix.exitCode(), exitCode);
    QVERIFY2(printed.contains(
                 QRegularExpression(output, QRegularExpression::DotMatchesEverythingOption)),
        qPrintable(printed));
}

PEREGRIX_TEST_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
