// The application put together: the root view with its two sides, the switch between them,
// the paged containers, the background path, and the whole program on a replayed track.
#include "DemoTrack.h"
#include "GracePeriod.h"
#include "Preferences.h"
#include "Screenshot.h"
#include "ScriptedTrackingServer.h"
#include "TestEnvironment.h"
#include "TextContrast.h"
#include "TrackingScreen.h"

#include "shell/AppDelegate.h"
#include "shell/RootViewController.h"
#include "shell/StackedMainViewController.h"
#include "shell/StackedViewController.h"

#include "history/Main2ViewController.h"
#include "tracking/MainViewController.h"

#include "shared/NotificationNames.h"
#include "shared/PreferenceKeys.h"
#include "shared/ThemeColour.h"

#include "platform/NotificationCenter.h"
#include "platform/PageCurlTransition.h"
#include "platform/Reachability.h"
#include "platform/widgets/NavigationBar.h"
#include "platform/widgets/PageControl.h"
#include "platform/widgets/ScrollView.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QWheelEvent>
#include <QtTest>

namespace {

QColor colourOf(const QWidget *view)
{
    return view->palette().color(QPalette::Window);
}

// A desktop's dark palette, light text on dark grey, as its platform theme hands it to Qt.
QPalette darkDesktop()
{
    QPalette palette(QColor(49, 54, 59), QColor(42, 46, 50));
    for (const QPalette::ColorRole role :
        { QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText })
        palette.setColor(role, QColor(252, 252, 252));
    palette.setColor(QPalette::Base, QColor(27, 30, 32));
    return palette;
}

// Where each text of a shown page lies in the root view: its labels, buttons and fields, and the
// rows its table draws. Disabled controls are greyed on purpose.
QList<std::pair<QString, QRect>> textsShown(QWidget *root, QWidget *page)
{
    QList<std::pair<QString, QRect>> texts;
    const auto add = [&](const QString &what, QWidget *widget, const QRect &rect) {
        if (widget->isVisibleTo(root) && widget->isEnabled() && !what.trimmed().isEmpty())
            texts.append({ what, QRect(widget->mapTo(root, rect.topLeft()), rect.size()) });
    };
    for (QLabel *label : page->findChildren<QLabel *>())
        add(label->text(), label, label->rect());
    for (QAbstractButton *button : page->findChildren<QAbstractButton *>())
        add(button->text(), button, button->rect());
    for (QLineEdit *field : page->findChildren<QLineEdit *>())
        add(field->text().isEmpty() ? field->placeholderText() : field->text(), field,
            field->rect());
    for (QTableView *list : page->findChildren<QTableView *>()) {
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const QRect line = list->visualRect(list->model()->index(row, 0));
            add(QStringLiteral("row %1").arg(row), list->viewport(),
                line & list->viewport()->rect());
        }
    }
    return texts;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedTrackingServer> server;

private Q_SLOTS:
    void initTestCase()
    {
        useDemoTrack();
        prefs().setString(QStringLiteral("336699"), PreferenceKeys::bg);
    }

    void init()
    {
        server = std::make_unique<ScriptedTrackingServer>();
        MainViewController::resetRunState();
    }

    void cleanup() { server.reset(); }

    void startsOnTheMainSideOnly()
    {
        RootViewController root;
        root.view();
        QVERIFY(root.isMainSideShown());
        QVERIFY(!root.stackedViewController());
        QVERIFY(!root.flipsideNavigationBar());
        StackedMainViewController *main = root.stackedMainViewController();
        QCOMPARE(main->pageControl()->numberOfPages(), 2);
        QCOMPARE(main->pageControl()->currentPage(), 0);
        QCOMPARE(main->scrollView()->contentOffset(), QPointF(0, 0));
        const double w = main->scrollView()->width();
        QCOMPARE(main->scrollView()->contentSize(), QSizeF(2 * w, main->scrollView()->height()));
        QCOMPARE(main->pages()[1]->view()->x(), int(w) + 1); // one point past the page width
        QCOMPARE(main->pages()[0], StackedMainViewController::mainViewController());
        QCOMPARE(colourOf(main->scrollView()), QColor(0x33, 0x66, 0x99));
        QCOMPARE(colourOf(main->pages()[0]->view()), QColor(0x33, 0x66, 0x99));
        NavigationBar *bar = root.mainsideNavigationBar();
        QCOMPARE(bar->title(), QStringLiteral("Peregrix      "));
        QCOMPARE(bar->rightButton()->text(), QStringLiteral("Settings"));
        QCOMPARE(bar->barStyle(), NavigationBar::Black);
        QCOMPARE(bar->frame(), QRect(0, 0, 320, 44));
        const QList<QWidget *> labels = bar->subviews();
        QCOMPARE(labels.size(), 3);
        QCOMPARE(labels[0]->geometry(), QRect(5, 435, 100, 30));
        QCOMPARE(labels[1]->geometry(), QRect(105, 435, 210, 30));
        QCOMPARE(qobject_cast<QLabel *>(labels[1])->text(), QStringLiteral("peregrix.example"));
        QCOMPARE(qobject_cast<QLabel *>(labels[2])->text(), QStringLiteral("Catch me on facebook"));
        // The labels show, but presses on them reach the page beneath: the window's own
        // hit-testing goes through childAt().
        QVERIFY(labels[0]->isVisibleTo(root.view()));
        for (const QPoint at : { QPoint(10, 450), QPoint(300, 450), QPoint(100, 50) }) {
            QWidget *hit = root.view()->childAt(at);
            QVERIFY2(hit && main->view()->isAncestorOf(hit), qPrintable(QString::number(at.y())));
        }
        QCOMPARE(root.view()->childAt(300, 20), bar->rightButton());
    }

    void settingsSideIsBuiltAtTheFirstSwitchAndShownPainted()
    {
        RootViewController root;
        root.view()->show();
        int paintedBefore = 0;
        QObject guard;
        ThemeColour::observe(&guard, [&] { ++paintedBefore; });
        QTest::mouseClick(root.mainsideNavigationBar()->rightButton(), Qt::LeftButton);
        QVERIFY(root.stackedViewController());
        QVERIFY(!root.isMainSideShown());
        QVERIFY(root.flipsideNavigationBar()->parent() == root.view());
        QVERIFY(!root.mainsideNavigationBar()->parent());
        StackedViewController *settings = root.stackedViewController();
        QCOMPARE(settings->pageControl()->numberOfPages(), 4);
        QCOMPARE(settings->pageControl()->currentPage(), 0);
        QCOMPARE(root.flipsideNavigationBar()->rightButton()->text(), QStringLiteral("  Done   "));
        QCOMPARE(root.flipsideNavigationBar()->rightButton()->width(), 200);
        // The yellow link line runs under the wide "Done" button, not across it.
        QTRY_VERIFY_WITH_TIMEOUT(!root.view()->findChild<PageCurlTransition *>(), 3000);
        const QImage shot = root.view()->grab().toImage();
        const QRect done // less its rounded corners
            = root.flipsideNavigationBar()->rightButton()->geometry().adjusted(6, 1, -6, -1);
        for (int y = done.top(); y <= done.bottom(); ++y) {
            for (int x = done.left(); x <= done.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                QVERIFY2(!(c.red() > 150 && c.green() > 150 && c.blue() < 100),
                    qPrintable(QStringLiteral("yellow at %1,%2").arg(x).arg(y)));
            }
        }
        // Both titles are whole and clear of their bar's button.
        for (NavigationBar *bar : { root.mainsideNavigationBar(), root.flipsideNavigationBar() }) {
            QVERIFY(!bar->titleRect().intersects(bar->rightButton()->geometry()));
            QFont font = bar->font();
            font.setBold(true);
            font.setPixelSize(20);
            QVERIFY(bar->titleRect().width() >= QFontMetrics(font).horizontalAdvance("Peregrix"));
        }
        for (ViewController *page : settings->pages())
            QCOMPARE(colourOf(page->view()), QColor(0x33, 0x66, 0x99));
        QCOMPARE(colourOf(settings->scrollView()), QColor(0x33, 0x66, 0x99));
        QVERIFY(paintedBefore >= 1);
        QCOMPARE(settings->pages()[3]->view()->x(), 3 * settings->scrollView()->width());
    }

    void twoSwitchesReturnWithTheMainSideUnchanged()
    {
        prefs().setBool(true, PreferenceKeys::validated);
        RootViewController root;
        root.view()->show();
        MainViewController *tracking = StackedMainViewController::mainViewController();
        TrackingScreen::stopTimer(*tracking);
        Reachability::setTestAnswer(Reachability::Flags());
        Location at;
        at.latitude = 51.5;
        at.longitude = -0.12;
        tracking->locationManagerDidUpdateToLocation(nullptr, at, {});
        tracking->sendNow();
        const TrackingScreen::Outlets ui { tracking->view() };
        const QString line = ui.labSends->text();
        QCOMPARE(Main2ViewController::urlItems().size(), 1);
        root.toggleView();
        QVERIFY(!root.isMainSideShown());
        root.toggleView();
        QVERIFY(root.isMainSideShown());
        QCOMPARE(root.mainsideNavigationBar()->parent(), root.view());
        QVERIFY(!root.flipsideNavigationBar()->parent());
        QCOMPARE(ui.labSends->text(), line);
        QCOMPARE(Main2ViewController::urlItems().size(), 1);
        QCOMPARE(StackedMainViewController::mainViewController(), tracking);
        prefs().removeObjectForKey(PreferenceKeys::validated);
    }

    // Sizes are logical pixels of the 320 x 480 window: no text is cut off, whatever the DPI.
    void noTextIsClipped()
    {
        RootViewController root;
        root.view()->show();
        root.toggleView(); // builds the settings side
        QStringList clipped;
        for (QLabel *label : root.view()->findChildren<QLabel *>()) {
            if (label->wordWrap() || label->text().isEmpty() || label->textFormat() == Qt::RichText)
                continue;
            const int needed = label->fontMetrics().horizontalAdvance(label->text());
            if (needed > label->contentsRect().width())
                clipped << QStringLiteral("%1 \"%2\" needs %3 of %4")
                               .arg(label->objectName(), label->text())
                               .arg(needed)
                               .arg(label->contentsRect().width());
        }
        for (QPushButton *button : root.view()->findChildren<QPushButton *>()) {
            const int needed = button->fontMetrics().horizontalAdvance(button->text().trimmed());
            if (needed > button->width() - 4)
                clipped << QStringLiteral("%1 \"%2\" needs %3 of %4")
                               .arg(button->objectName(), button->text())
                               .arg(needed)
                               .arg(button->width());
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1String("; "))));
    }

    // Every page keeps its own colours on a dark desktop: its texts stand out from what they lie
    // on, the theme colour or a white row or field.
    void everyPageReadsOnADarkDesktop_data()
    {
        QTest::addColumn<int>("page"); // the main side's two, then the settings side's four
        QTest::newRow("tracking") << 0;
        QTest::newRow("history") << 1;
        QTest::newRow("account") << 2;
        QTest::newRow("options") << 3;
        QTest::newRow("information") << 4;
        QTest::newRow("colour") << 5;
    }
    void everyPageReadsOnADarkDesktop()
    {
        QFETCH(int, page);
        const QPalette desktop = QApplication::palette();
        QApplication::setPalette(darkDesktop());
        const QString theme = prefs().stringForKey(PreferenceKeys::bg);
        prefs().removeObjectForKey(PreferenceKeys::bg); // yellow, as on a first start
        const auto restore = qScopeGuard([&] {
            QApplication::setPalette(desktop);
            prefs().setString(theme, PreferenceKeys::bg);
        });
        server->setDefaultReply(ScriptedHttpServer::text("Name,Test|Device,This computer"));
        RootViewController root;
        root.view()->show();
        NotificationCenter::defaultCenter().postNotificationName(NotificationNames::LocationSent,
            QStringLiteral("http://localhost:8080/log.php?u=Test&d=5f0c3be1&lat=51.504512"
                           "&long=-0.129988&when=20261209140509&ver=v2.5&acc=6&speed=11 MPH&id=1"));
        PagedContainer *side = root.stackedMainViewController();
        if (page >= 2) {
            root.toggleView();
            side = root.stackedViewController();
            QTest::mouseClick(root.view()->findChild<QPushButton *>("cbGetInfo"), Qt::LeftButton);
        }
        const int index = page >= 2 ? page - 2 : page;
        side->scrollView()->setContentOffset({ index * double(side->scrollView()->width()), 0 });
        QTRY_VERIFY_WITH_TIMEOUT(!root.view()->findChild<PageCurlTransition *>(), 3000);
        QWidget *view = side->pages().at(std::size_t(index))->view();
        const QList<std::pair<QString, QRect>> texts = textsShown(root.view(), view);
        QVERIFY(texts.size() >= 3);
        const QImage shot = root.view()->grab().toImage();
        QStringList faint;
        for (const auto &[what, rect] : texts) {
            const double contrast = textContrast(shot, rect);
            if (contrast < 4.5)
                faint << QStringLiteral("\"%1\" %2:1").arg(what).arg(contrast, 0, 'f', 1);
        }
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QLatin1String(", "))));
    }

    // What a screen reader says of each control that takes focus.
    void everyControlHasAnAccessibleName()
    {
        RootViewController root;
        root.view()->show();
        root.toggleView(); // builds the settings side
        QStringList unnamed;
        QList<QWidget *> widgets = root.view()->findChildren<QWidget *>();
        widgets += root.stackedMainViewController()->view()->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            if (widget->focusPolicy() == Qt::NoFocus)
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << widget->objectName() + QLatin1Char(' ')
                        + widget->metaObject()->className();
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
    }

    // Tab goes through each page's controls as they are read: top to bottom, left to right.
    void tabOrderFollowsEachPage_data()
    {
        QTest::addColumn<int>("page"); // the main side's two, then the settings side's four
        QTest::addColumn<QStringList>("order");
        QTest::newRow("tracking") << 0 << QStringList { "swOnOff", "cbSendNow" };
        QTest::newRow("history") << 1 << QStringList { "list", "cbSendMissing" };
        QTest::newRow("account") << 2
                                 << QStringList { "txtUser", "cbValidate", "cbUseTest",
                                        "cbForgotten", "cbUndo", "frequencySlider", "cb15s",
                                        "cb30s", "cb1m", "cb2m", "cb5m", "cb10m",
                                        "cbSetFrequency" };
        QTest::newRow("options") << 3
                                 << QStringList { "segLocationUnits", "swSendAuto", "swSendSpeed",
                                        "segSpeed" };
        QTest::newRow("information") << 4 << QStringList { "list", "cbGetInfo" };
        QTest::newRow("colour") << 5 << QStringList { "cbSetColor" };
    }
    void tabOrderFollowsEachPage()
    {
        QFETCH(int, page);
        QFETCH(QStringList, order);
        RootViewController root;
        root.view()->show();
        root.toggleView(); // builds the settings side
        std::vector<ViewController *> pages = root.stackedMainViewController()->pages();
        const std::vector<ViewController *> &settings = root.stackedViewController()->pages();
        pages.insert(pages.end(), settings.begin(), settings.end());
        QWidget *view = pages.at(page)->view();
        QStringList chain;
        for (QWidget *w = view->nextInFocusChain(); w != view; w = w->nextInFocusChain()) {
            if (view->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->isHidden()
                && !w->focusProxy()) // Tab lands on the proxy
                chain << w->objectName();
        }
        QCOMPARE(chain, order);
    }

    void appearanceCallbacksAndCurlDirection()
    {
        RootViewController root;
        root.view()->show();
        const QImage mainBar = root.view()->grab(QRect(0, 0, 320, 44)).toImage();
        root.toggleView();
        auto *curl = root.view()->findChild<PageCurlTransition *>();
        QVERIFY(curl);
        QCOMPARE(curl->direction(), PageCurlTransition::CurlUp);
        // Even the first switch, which builds the settings side, curls from the main side.
        QCOMPARE(curl->beforePicture().toImage().copy(0, 0, 320, 44), mainBar);
        QVERIFY(curl->afterPicture().toImage().copy(0, 0, 320, 44) != mainBar);
        QVERIFY(curl->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!root.view()->findChild<PageCurlTransition *>(), 3000);
        root.toggleView();
        curl = root.view()->findChild<PageCurlTransition *>();
        QVERIFY(curl);
        QCOMPARE(curl->direction(), PageCurlTransition::CurlDown);
        // A switch during a curl replaces it, starting from the frame it showed.
        QTest::qWait(300);
        const QImage midway = root.view()->grab().toImage();
        root.toggleView();
        const auto curls = root.view()->findChildren<PageCurlTransition *>();
        QCOMPARE(curls.size(), 1);
        QCOMPARE(curls[0]->direction(), PageCurlTransition::CurlUp);
        QCOMPARE(curls[0]->beforePicture().toImage(), midway);
        QVERIFY(!root.isMainSideShown());
    }

    void indicatorPage_data()
    {
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("page");
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("159.99") << 159.99 << 0;
        QTest::newRow("160") << 160.0 << 1;
        QTest::newRow("320") << 320.0 << 1;
        QTest::newRow("bouncing before the first") << -200.0 << 0;
        QTest::newRow("bouncing past the last") << 520.0 << 1;
    }
    void indicatorPage()
    {
        QFETCH(double, offset);
        QFETCH(int, page);
        RootViewController root;
        root.view();
        StackedMainViewController *main = root.stackedMainViewController();
        QCOMPARE(main->scrollView()->width(), 320);
        main->scrollView()->setContentOffset(QPointF(offset, 0));
        QCOMPARE(main->pageControl()->currentPage(), page);
    }

    void pageFormula_data()
    {
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("page");
        QTest::newRow("-200") << -200.0 << -1;
        QTest::newRow("159.99") << 159.99 << 0;
        QTest::newRow("160") << 160.0 << 1;
        QTest::newRow("800") << 800.0 << 3;
    }
    void pageFormula()
    {
        QFETCH(double, offset);
        QFETCH(int, page);
        QCOMPARE(PagedContainer::pageForOffset(offset, 320.0), page);
    }

    void tapOnTheIndicatorKeepsItsPageDuringTheScroll()
    {
        RootViewController root;
        root.view()->show();
        StackedMainViewController *main = root.stackedMainViewController();
        PageControl *dots = main->pageControl();
        QList<int> pagesSeen;
        QSignalSpy dummy(dots, &PageControl::activated);
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, [&] { pagesSeen << dots->currentPage(); });
        sampler.start(10);
        QTest::mouseClick(dots, Qt::LeftButton, {}, QPoint(dots->width() - 2, dots->height() / 2));
        QCOMPARE(dots->currentPage(), 1);
        QVERIFY(main->pageControlUsed());
        QVERIFY(main->scrollView()->isAnimating());
        QTRY_COMPARE(main->scrollView()->contentOffset().x(), 320.0);
        sampler.stop();
        QVERIFY(!pagesSeen.isEmpty());
        QVERIFY(!pagesSeen.contains(0));
        QVERIFY(main->pageControlUsed()); // until the next drag begins
        main->scrollViewWillBeginDragging(main->scrollView());
        QVERIFY(!main->pageControlUsed());
    }

    void draggingHalfAPageTurnsIt()
    {
        RootViewController root;
        root.view()->show();
        StackedMainViewController *main = root.stackedMainViewController();
        ScrollView *scroll = main->scrollView();
        const QPoint start(300, 200);
        QTest::mousePress(scroll, Qt::LeftButton, {}, start);
        for (int dx = 10; dx <= 170; dx += 10)
            QTest::mouseMove(scroll, start - QPoint(dx, 0), 5);
        QCOMPARE(main->pageControl()->currentPage(), 1); // at 160 already
        QTest::qWait(150); // a pause: no flick
        QTest::mouseRelease(scroll, Qt::LeftButton, {}, start - QPoint(170, 0));
        QTRY_COMPARE(scroll->contentOffset().x(), 320.0);
        QCOMPARE(main->pageControl()->currentPage(), 1);
    }

    // A sideways drag that starts on a control of a settings page turns the page, as a swipe
    // does; a drag up or down, or on a control that is dragged sideways itself, stays with it.
    void dragsThatStartOnAControl_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QPoint>("from"); // in the control
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<int>("pageAfter");
        QTest::newRow("colour matrix, sideways")
            << 3 << "pickerView" << QPoint(200, 250) << QPoint(170, 0) << 2;
        QTest::newRow("colour matrix, downwards")
            << 3 << "pickerView" << QPoint(200, 180) << QPoint(20, 120) << 3;
        QTest::newRow("information table, sideways")
            << 2 << "list" << QPoint(200, 100) << QPoint(-170, 10) << 3;
        QTest::newRow("Get My Info button, sideways")
            << 2 << "cbGetInfo" << QPoint(20, 10) << QPoint(170, 0) << 1;
        QTest::newRow("frequency slider")
            << 0 << "frequencySlider" << QPoint(150, 10) << QPoint(-100, 0) << 0;
    }
    void dragsThatStartOnAControl()
    {
        QFETCH(int, page);
        QFETCH(QString, control);
        QFETCH(QPoint, from);
        QFETCH(QPoint, by);
        QFETCH(int, pageAfter);
        RootViewController root;
        root.view()->show();
        root.toggleView();
        StackedViewController *settings = root.stackedViewController();
        ScrollView *scroll = settings->scrollView();
        scroll->setContentOffset({ page * 320.0, 0 });
        QWidget *target
            = settings->pages().at(std::size_t(page))->view()->findChild<QWidget *>(control);
        if (auto *list = qobject_cast<QTableView *>(target))
            target = list->viewport(); // what a press on the list lands on
        const QImage before = target->grab().toImage();
        // The pointer moves over the screen while the control may move under it: every event
        // goes to the control, as the window system's grab sends it.
        const QPoint start = target->mapToGlobal(from);
        QTest::mousePress(target, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(target, target->mapFromGlobal(start + by * step / 10), 5);
        QTest::qWait(150); // a pause: no flick
        QTest::mouseRelease(target, Qt::LeftButton, {}, target->mapFromGlobal(start + by));
        QTRY_VERIFY(!scroll->isAnimating());
        QCOMPARE(scroll->contentOffset().x(), pageAfter * 320.0);
        QCOMPARE(settings->pageControl()->currentPage(), pageAfter);
        if (pageAfter == page) // the control followed the drag
            QVERIFY(target->grab().toImage() != before);
        QVERIFY(server->requestLines().isEmpty()); // no button was clicked on the way
    }

    // However turns and touches interleave, the view comes to rest on a page and the dots agree.
    void pagingComesToRestOnAPage_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("page");
        QTest::newRow("tap after a wheel turn there and back")
            << QStringList { "wheel down", "settle", "wheel up", "settle", "tap right" } << 1;
        QTest::newRow("wheel during a tapped scroll")
            << QStringList { "tap right", "wheel up" } << 0;
        QTest::newRow("press during a settle, released without a drag")
            << QStringList { "wheel down", "a moment", "press and release" } << -1;
    }
    void pagingComesToRestOnAPage()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, page); // -1: either page, as long as the dots agree
        RootViewController root;
        root.view()->show();
        StackedMainViewController *main = root.stackedMainViewController();
        ScrollView *scroll = main->scrollView();
        PageControl *dots = main->pageControl();
        const QPointF middle(160, 200);
        for (const QString &step : steps) {
            if (step.startsWith(QLatin1String("wheel"))) {
                QWheelEvent wheel(middle, scroll->mapToGlobal(middle), {},
                    QPoint(0, step.endsWith(QLatin1String("up")) ? 120 : -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(scroll, &wheel);
            } else if (step == QLatin1String("tap right")) {
                QTest::mouseClick(
                    dots, Qt::LeftButton, {}, QPoint(dots->width() - 2, dots->height() / 2));
            } else if (step == QLatin1String("press and release")) {
                QTest::mouseClick(scroll, Qt::LeftButton, {}, middle.toPoint());
            } else if (step == QLatin1String("a moment")) {
                QTest::qWait(60);
            } else {
                QTRY_VERIFY(!scroll->isAnimating());
            }
        }
        QTRY_VERIFY(!scroll->isAnimating());
        const double x = scroll->contentOffset().x();
        QCOMPARE(std::fmod(x, 320.0), 0.0);
        QCOMPARE(dots->currentPage(), int(x / 320));
        if (page >= 0)
            QCOMPARE(dots->currentPage(), page);
    }

    void backgroundAndActiveReachTheTrackingScreen()
    {
        AppDelegate delegate;
        delegate.rootViewController()->view();
        MainViewController *tracking = StackedMainViewController::mainViewController();
        QVERIFY(tracking);
        QSignalSpy spy(tracking, &MainViewController::backgroundModeSwitched);
        delegate.applicationDidFinishLaunching();
        QTRY_COMPARE(spy.size(), 1); // the launch's activation
        delegate.applicationDidEnterBackground();
        delegate.applicationDidBecomeActive();
        delegate.applicationDidBecomeActive();
        QCOMPARE(spy.size(), 4);
        QCOMPARE(spy.at(1).at(0).toBool(), true);
        QCOMPARE(spy.at(2).at(0).toBool(), false);
        QCOMPARE(spy.at(3).at(0).toBool(), false);
        delegate.window()->showMinimized();
        QTRY_VERIFY(spy.size() >= 5);
        QCOMPARE(spy.last().at(0).toBool(), true);
    }

    void launchTellsTheTrackingScreenNoOnce()
    {
        QList<bool> told;
        AppDelegate delegate;
        // The tracking screen exists once the root view loads, inside
        // applicationDidFinishLaunching.
        QMetaObject::Connection watch;
        delegate.rootViewController()->view();
        MainViewController *tracking = StackedMainViewController::mainViewController();
        watch = connect(tracking, &MainViewController::backgroundModeSwitched,
            [&](bool background) { told << background; });
        delegate.applicationDidFinishLaunching();
        QTRY_COMPARE(told, QList<bool> { false });
        QTest::qWait(gracePeriodMs);
        QCOMPARE(told, QList<bool> { false });
    }

    void theWholeApplicationOnTheDemoTrack()
    {
        setReporting();
        prefs().setString(QStringLiteral("Test"), PreferenceKeys::user);
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        QWidget *window = delegate.window();
        QCOMPARE(window->size(), QSize(320, 480));
        QCOMPARE(window->windowTitle(), QStringLiteral("Peregrix"));
        QTRY_VERIFY(!window->windowIcon().isNull()); // once the first frame is shown
        MainViewController *tracking = StackedMainViewController::mainViewController();
        const TrackingScreen::Outlets ui { tracking->view() };
        // Positions arrive from the replayed track, and the first report goes out.
        QTRY_VERIFY_WITH_TIMEOUT(ui.labLat->text().startsWith(QLatin1String("51.5")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!server->requestLines().isEmpty(), 5000);
        QTRY_COMPARE(ui.labStatus->text(), QStringLiteral("OK"));
        QVERIFY(saveScreenshot(window, QStringLiteral("main-side-tracking")));
        RootViewController *root = delegate.rootViewController();
        root->stackedMainViewController()->scrollView()->setContentOffset({ 320, 0 });
        QVERIFY(saveScreenshot(window, QStringLiteral("main-side-history")));

        QTest::mouseClick(root->mainsideNavigationBar()->rightButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!root->view()->findChild<PageCurlTransition *>(), 3000);
        StackedViewController *settings = root->stackedViewController();
        for (int page = 0; page < 4; ++page) {
            settings->scrollView()->setContentOffset({ 320.0 * page, 0 });
            QVERIFY(saveScreenshot(window, QStringLiteral("settings-side-page-%1").arg(page + 1)));
        }
        // Validation and the account's details, each from its button.
        server->setResponder([](const QByteArray &line) {
            return ScriptedHttpServer::text(line.contains("getmyinfo.php") ? "Name,Test"
                    : line.contains("u=?")                                 ? "USERTest"
                                                                           : "OK");
        });
        window->findChild<QPushButton *>(QStringLiteral("cbForgotten"))->click();
        window->findChild<QPushButton *>(QStringLiteral("cbGetInfo"))->click();
        QTest::mouseClick(root->flipsideNavigationBar()->rightButton(), Qt::LeftButton);
        QVERIFY(root->isMainSideShown());
        // A report stored while the network is away, then sent again as late.
        Reachability::setTestAnswer(Reachability::Flags());
        tracking->sendNow();
        Reachability::setTestAnswer(Reachability::Reachable);
        window->findChild<QPushButton *>(QStringLiteral("cbSendMissing"))->click();
        QTRY_VERIFY(server->requestLines().last().contains("&Late=Y"));

        // Every exchange is a plain GET: its head holds only what Qt's network stack adds.
        const QList<QByteArray> heads = server->requestHeads();
        for (const char *exchange : { "&id=1 ", "u=?&d=", "getmyinfo.php?d=", "&Late=Y " })
            QVERIFY2(std::any_of(heads.cbegin(), heads.cend(),
                         [exchange](const QByteArray &h) { return h.contains(exchange); }),
                exchange);
        const QSet<QByteArray> qtsOwn { "host", "connection", "accept-encoding", "accept-language",
            "user-agent" };
        for (const QByteArray &head : heads) {
            QSet<QByteArray> names;
            for (const QByteArray &line : head.trimmed().split('\n').mid(1))
                names.insert(line.left(line.indexOf(':')).toLower());
            QVERIFY2(names == qtsOwn, head.constData());
            QVERIFY(head.startsWith("GET /"));
        }
        QVERIFY(clearPreferences(
            { PreferenceKeys::validated, PreferenceKeys::sendauto, PreferenceKeys::user }));
    }
};

PEREGRIX_TEST_MAIN(TestShell)
#include "tst_Shell.moc"
