// Screens build their view from their form once, and set themselves up right after.
#include "TestEnvironment.h"

#include "platform/ViewController.h"
#include "ui_TestView.h"

#include <QApplication>
#include <QPointer>
#include <QtTest>

namespace {

class FormScreen : public ViewController
{
public:
    Ui::TestView ui;
    int loads = 0;
    QString textSeenAtLoad;

protected:
    void loadView(QWidget *view) override { ui.setupUi(view); }
    void viewDidLoad() override
    {
        ++loads;
        textSeenAtLoad = ui.labTitle->text();
        ui.labTitle->setText(QStringLiteral("set up"));
    }
};

} // namespace

class TestViewController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void viewIsBuiltOnFirstUseThenSetUpOnce()
    {
        FormScreen screen;
        QVERIFY(!screen.isViewLoaded());
        QCOMPARE(screen.loads, 0);
        QWidget *view = screen.view();
        QVERIFY(screen.isViewLoaded());
        QCOMPARE(screen.loads, 1);
        QCOMPARE(screen.textSeenAtLoad, QStringLiteral("From the form"));
        QCOMPARE(screen.ui.labTitle->parentWidget(), view);
        QCOMPARE(screen.view(), view);
        QCOMPARE(screen.loads, 1);
        QCOMPARE(view->size(), QSize(320, 480));
    }

    void viewGoesWithItsScreenUnlessAContainerHoldsIt()
    {
        QPointer<QWidget> loose;
        {
            FormScreen screen;
            loose = screen.view();
        }
        QVERIFY(loose.isNull());

        QWidget container;
        QPointer<QWidget> placed;
        {
            FormScreen screen;
            placed = screen.view();
            placed->setParent(&container);
        }
        QVERIFY(!placed.isNull());
    }
};

PEREGRIX_TEST_MAIN(TestViewController)
#include "tst_ViewController.moc"
