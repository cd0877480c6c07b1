// The process-wide service object: one instance, its URL and version, alerts, reachability.
#include "OpenAlerts.h"
#include "TestEnvironment.h"

#include "shared/GlobalFunctions.h"

#include "platform/Reachability.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

class TestGlobalData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        Reachability::clearTestAnswer();
        qDeleteAll(openAlerts());
    }

    void thereIsOnlyOneInstance()
    {
        GlobalData *first = GlobalData::sharedGlobalData();
        QVERIFY(first);
        QCOMPARE(GlobalData::sharedGlobalData(), first);
        QCOMPARE(GlobalData::allocWithZone(), nullptr);
        QCOMPARE(first->copyWithZone(), first);
    }

    void versionAndBaseUrl()
    {
        GlobalData *data = GlobalData::sharedGlobalData();
        QCOMPARE(data->ver(), QStringLiteral("v2.5"));
        QVERIFY(data->url().endsWith(QLatin1Char('/')));
        QVERIFY(data->url().startsWith(QLatin1String("http")));
        QCOMPARE(data->url(), GlobalData::defaultUrl());
    }

    void connectedToNetwork_data()
    {
        using Answer = std::optional<Reachability::Flags>;
        const auto bits = [](quint32 word) { return Answer(Reachability::Flags::fromInt(word)); };
        QTest::addColumn<Answer>("flags");
        QTest::addColumn<bool>("connected");
        QTest::newRow("flags unreadable") << Answer() << false;
        QTest::newRow("nothing set") << bits(0u) << false;
        QTest::newRow("reachable") << bits(2u) << true;
        QTest::newRow("reachable, connection required") << bits(2u | 4u) << false;
        QTest::newRow("connection required only") << bits(4u) << false;
        QTest::newRow("reachable with other flags") << bits(2u | 1u | 0x40000u) << true;
    }
    void connectedToNetwork()
    {
        QFETCH(std::optional<Reachability::Flags>, flags);
        QFETCH(bool, connected);
        Reachability::setTestAnswer(flags);
        QCOMPARE(GlobalData::sharedGlobalData()->connectedToNetwork(), connected);
    }

    // In a network namespace of its own, which holds only the loopback, the routes are the
    // test's: the zero-address record must ask for a default route.
    void theRealRecordAsksForAWayOut_data()
    {
        QTest::addColumn<QString>("routes");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("default route on the loopback")
            << "ip route add default dev lo" << QByteArray("YES\n");
        QTest::newRow("no default route") << "true" << QByteArray("NO\n");
    }
    void theRealRecordAsksForAWayOut()
    {
        QFETCH(QString, routes);
        QFETCH(QByteArray, answer);
        QProcess probe;
        probe.start(QStringLiteral("unshare"),
            { "--map-root-user", "--net", "sh", "-c",
                "ip link set lo up && " + routes + " && exec \"$0\"", REACHABILITY_PROBE });
        QVERIFY(probe.waitForFinished());
        const QByteArray errors = probe.readAllStandardError();
        if (probe.exitCode() != 0 && errors.startsWith("unshare:"))
            QSKIP(errors.constData()); // no network namespaces for this user here
        QVERIFY2(probe.exitCode() == 0, errors.constData());
        QCOMPARE(probe.readAllStandardOutput(), answer);
    }

    void alertWithEmptyMessageStillShows()
    {
        GlobalData::sharedGlobalData()->_showAlert(QStringLiteral(""));
        const QList<QMessageBox *> boxes = openAlerts();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]->windowTitle(), QString());
        QCOMPARE(boxes[0]->text(), QString());
        QCOMPARE(boxes[0]->buttons().size(), 1);
        QCOMPARE(
            boxes[0]->buttons().first()->text().remove(QLatin1Char('&')), QStringLiteral("OK"));
    }

    void alertReturnsAtOnceAndClosesOnOk()
    {
        GlobalData::sharedGlobalData()->_showAlert(
            QStringLiteral("<b>Stopped</b> by server"), QStringLiteral("Peregrix"));
        QList<QMessageBox *> boxes = openAlerts();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]->windowTitle(), QStringLiteral("Peregrix"));
        QCOMPARE(boxes[0]->text(), QStringLiteral("<b>Stopped</b> by server"));
        QCOMPARE(boxes[0]->textFormat(), Qt::PlainText);
        QPointer<QMessageBox> box = boxes[0];
        box->buttons().first()->click();
        QTRY_VERIFY(box.isNull());
    }
};

PEREGRIX_TEST_MAIN(TestGlobalData)
#include "tst_GlobalData.moc"
