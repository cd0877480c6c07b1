// RootViewController: the application's two sides under their navigation bars, and the page
// curl between them.
#include "RootViewController.h"

#include "StackedMainViewController.h"
#include "StackedViewController.h"

#include "platform/PageCurlTransition.h"
#include "platform/widgets/NavigationBar.h"

#include <QLabel>

namespace {

QString appTitle;
QPointer<QLabel> titleFacebook1;
QPointer<QLabel> titleFacebook2;
QPointer<QLabel> titleBy1;
QPointer<QLabel> titleBy2;
QPointer<QLabel> titleWWW1;
QPointer<QLabel> titleWWW2;

const QString byLine = QStringLiteral("by M. Okafor");
const QString webSite = QStringLiteral("peregrix.example");

// Each label is the root view's, hidden, until a side's bar takes it: the settings side's may
// never be built.
QLabel *aboutLabel(QWidget *root, const QRect &frame, Qt::Alignment alignment, const QString &text,
    int pixelSize, const QColor &colour)
{
    auto *label = new QLabel(text, root);
    label->hide();
    label->setGeometry(frame);
    label->setAlignment(alignment | Qt::AlignVCenter);
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setAutoFillBackground(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

} // namespace

// The values in which building the main side and the settings side differ.
struct RootViewController::Side
{
    QLabel *byLine;
    QLabel *webSite;
    QString buttonTitle;
    int buttonWidth;
    QLabel *link;
};

RootViewController::RootViewController(QObject *parent)
    : ViewController(parent)
{ }

RootViewController::~RootViewController()
{
    // The bar of the side off screen has no parent to take it.
    for (NavigationBar *bar : { m_mainsideNavigationBar.data(), m_flipsideNavigationBar.data() }) {
        if (bar && !bar->parent())
            delete bar;
    }
}

void RootViewController::loadView(QWidget *view)
{
    view->setObjectName(QStringLiteral("RootView"));
    view->setFixedSize(320, 480);
}

void RootViewController::viewDidLoad()
{
    appTitle = QStringLiteral("Peregrix      ");
    const QColor lightGrey = QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
    titleFacebook1 = aboutLabel(view(), { 60, 22, 140, 32 }, Qt::AlignHCenter,
        QStringLiteral("Catch me on facebook"), 11, lightGrey);
    titleFacebook2 = aboutLabel(view(), { 60, 22, 140, 32 }, Qt::AlignHCenter,
        QStringLiteral("Catch me on facebook"), 12, Qt::yellow);
    titleBy1 = aboutLabel(view(), { 5, 435, 100, 30 }, Qt::AlignLeft, byLine, 11, Qt::black);
    titleBy2 = aboutLabel(view(), { 5, 435, 100, 30 }, Qt::AlignLeft, byLine, 11, Qt::black);
    titleWWW1 = aboutLabel(view(), { 105, 435, 210, 30 }, Qt::AlignRight, webSite, 11, Qt::black);
    titleWWW2 = aboutLabel(view(), { 105, 435, 210, 30 }, Qt::AlignRight, webSite, 11, Qt::black);
    ViewController::viewDidLoad();
    loadMainsideViewController();
}

NavigationBar *RootViewController::buildSide(ViewController *container, const Side &side)
{
    auto *bar = new NavigationBar(QRect(0, 0, 320, 44));
    bar->setBarStyle(NavigationBar::Black);
    bar->addSubview(side.byLine);
    bar->addSubview(side.webSite);
    NavigationItem item;
    item.title = appTitle;
    item.rightButtonTitle = side.buttonTitle;
    item.rightButtonStyle = NavigationItem::Done;
    item.rightButtonWidth = side.buttonWidth;
    item.rightButtonAction = [this] { toggleView(); };
    bar->addSubview(side.link);
    bar->pushNavigationItem(item, false);

    QWidget *root = view();
    bar->setParent(root);
    bar->show();
    QWidget *containerView = container->view(); // builds the side's pages
    containerView->setParent(root);
    containerView->setGeometry(0, 0, 320, 480);
    containerView->stackUnder(bar);
    containerView->show();
    return bar;
}

void RootViewController::loadMainsideViewController()
{
    m_stackedMainViewController = new StackedMainViewController(this);
    m_mainsideNavigationBar = buildSide(m_stackedMainViewController,
        { titleBy1, titleWWW1, QStringLiteral("Settings"), 0, titleFacebook1 });
}

void RootViewController::loadStackedViewController()
{
    m_stackedViewController = new StackedViewController(this);
    m_flipsideNavigationBar = buildSide(m_stackedViewController,
        { titleBy2, titleWWW2, QStringLiteral("  Done   "), 200, titleFacebook2 });
}

bool RootViewController::isMainSideShown() const
{
    return m_stackedMainViewController->view()->parent() != nullptr;
}

void RootViewController::toggleView()
{
    QWidget *root = view();
    const bool toSettings = isMainSideShown();
    // The picture of what was shown comes first: building the settings side puts it on screen.
    auto *curl = PageCurlTransition::begin(
        root, toSettings ? PageCurlTransition::CurlUp : PageCurlTransition::CurlDown);
    if (!m_stackedViewController)
        loadStackedViewController();
    QWidget *mainView = m_stackedMainViewController->view();
    QWidget *flipView = m_stackedViewController->view();

    ViewController *coming = toSettings ? static_cast<ViewController *>(m_stackedViewController)
                                        : m_stackedMainViewController;
    ViewController *going = toSettings ? static_cast<ViewController *>(m_stackedMainViewController)
                                       : m_stackedViewController;
    QWidget *goingView = toSettings ? mainView : flipView;
    QWidget *comingView = toSettings ? flipView : mainView;
    NavigationBar *goingBar = toSettings ? m_mainsideNavigationBar : m_flipsideNavigationBar;
    NavigationBar *comingBar = toSettings ? m_flipsideNavigationBar : m_mainsideNavigationBar;

    coming->viewWillAppear(true);
    going->viewWillDisappear(true);
    goingView->setParent(nullptr);
    goingBar->setParent(nullptr);
    comingView->setParent(root);
    comingView->setGeometry(0, 0, 320, 480);
    comingView->show();
    comingBar->setParent(root);
    comingBar->raise();
    comingBar->show();
    going->viewDidDisappear(true);
    coming->viewDidAppear(true);
    curl->commit();
}
