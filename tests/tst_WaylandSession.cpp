// The real program in a Wayland-only session, as on a phone: started on a headless weston with
// a profile ready to track, it must find Qt's Wayland platform, keep running and report to the
// server it is built for. Run by run-wayland.sh, which starts weston and gives the test a
// network namespace of its own, where the scripted server answers at the built-in address.
#include "ScriptedHttpServer.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <algorithm>

class TestWaylandSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsOnWaylandAndReports()
    {
        QVERIFY2(qEnvironmentVariableIsSet("WAYLAND_DISPLAY"), "run me through run-wayland.sh");
        const QUrl base(QStringLiteral(PEREGRIX_BASE_URL));
        if (base.scheme() != QLatin1String("http")
            || (base.host() != QLatin1String("localhost")
                && base.host() != QLatin1String("127.0.0.1")))
            QSKIP("the program is built to report somewhere this test cannot answer for");
        ScriptedHttpServer server(QHostAddress(QHostAddress::LocalHost), base.port(80));
        QVERIFY2(server.port() == base.port(80), "the built-in server's port is taken");
        server.setDefaultReply(ScriptedHttpServer::text("OK"));

        QTemporaryDir home;
        QVERIFY(home.isValid());
        {
            QSettings settings(home.filePath(QStringLiteral(".config/Peregrix/Peregrix.conf")),
                QSettings::IniFormat);
            settings.setValue(QStringLiteral("user"), QStringLiteral("Test"));
            settings.setValue(QStringLiteral("validated"), true);
            settings.setValue(QStringLiteral("sendauto"), true);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(".config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(".local/share"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        environment.remove(QStringLiteral("DISPLAY"));
        QProcess app;
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(QStringLiteral(PEREGRIX),
            { QStringLiteral("-location"), QStringLiteral("nmea:" DEMO_TRACK) });
        QVERIFY(app.waitForStarted());

        const QByteArray report = "GET " + base.path().toUtf8() + "log.php?u=Test&d=";
        const auto reported = [&server, &report] {
            const QList<QByteArray> lines = server.requestLines();
            return std::any_of(lines.cbegin(), lines.cend(),
                [&report](const QByteArray &line) { return line.startsWith(report); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(reported() || app.state() == QProcess::NotRunning, 15000);
        // A missing platform plugin ends the program at once; the wait gives a fault that comes
        // later, with the window's first frames, the time to end it too.
        QTest::qWait(1000);
        const QString printed = QString::fromLocal8Bit(app.readAll());
        QVERIFY2(app.state() == QProcess::Running, qPrintable(printed));
        QVERIFY2(!printed.contains(QLatin1String("Qt platform plugin")), qPrintable(printed));
        QVERIFY2(reported(), qPrintable(server.requestLines().join('\n')));

        app.terminate();
        QVERIFY(app.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestWaylandSession)
#include "tst_WaylandSession.moc"
