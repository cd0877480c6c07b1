// AppDelegate: puts the root view into the application's window and passes each move into or
// out of the background down to the tracking screen.
#include "AppDelegate.h"

#include "RootViewController.h"
#include "StackedMainViewController.h"

#include "platform/Device.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <utility>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
    , m_window(new QWidget)
    , m_rootViewController(new RootViewController(this))
{
    m_window->setObjectName(QStringLiteral("window"));
    m_window->setWindowTitle(QStringLiteral("Peregrix"));
    m_window->setFixedSize(320, 480);
    m_window->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
        &AppDelegate::onApplicationStateChanged);
}

AppDelegate::~AppDelegate()
{
    // Closing the window at the end is no move into the background.
    if (m_window)
        m_window->removeEventFilter(this);
    delete m_window.data();
}

void AppDelegate::applicationDidFinishLaunching()
{
    QWidget *rootView = m_rootViewController->view();
    rootView->setParent(m_window);
    rootView->move(0, 0);
    rootView->show();
    m_window->show();
    m_window->windowHandle()->installEventFilter(this);
    m_window->activateWindow();
    m_window->raise();
    // The platform reports the application active after launch, but the window system's report
    // comes a moment later, and never where nothing activates windows (no window manager). The
    // tracking screen hears of the launch now, once: the late report is the same activation.
    QTimer::singleShot(0, this, [this] {
        if (m_launch == Launch::Waiting) {
            m_launch = Launch::ToldAhead;
            applicationDidBecomeActive();
        }
    });
}

void AppDelegate::applicationDidEnterBackground()
{
    if (Device::respondsToIsMultitaskingSupported())
        m_rootViewController->stackedMainViewController()->switchToBackgroundMode(true);
}

void AppDelegate::applicationDidBecomeActive()
{
    if (Device::respondsToIsMultitaskingSupported())
        m_rootViewController->stackedMainViewController()->switchToBackgroundMode(false);
}

void AppDelegate::enterBackgroundUnlessClosing()
{
    if (!m_closing)
        applicationDidEnterBackground();
}

void AppDelegate::onApplicationStateChanged(Qt::ApplicationState state)
{
    const Launch launch = std::exchange(m_launch, Launch::Over);
    switch (state) {
    case Qt::ApplicationActive:
        if (launch != Launch::ToldAhead)
            applicationDidBecomeActive();
        break;
    case Qt::ApplicationHidden:
    case Qt::ApplicationSuspended:
        enterBackgroundUnlessClosing();
        break;
    case Qt::ApplicationInactive:
        applicationWillResignActive();
        break;
    }
}

// Decoding the icon takes as long as building a page, so it waits until the window has shown
// its first frame. It is the application's, so that the alerts' windows carry it too.
void AppDelegate::setApplicationIcon()
{
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/peregrix.png")));
}

// A minimised or hidden window is in the background as much as a suspended application.
bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && m_window && watched == m_window->windowHandle()) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, &AppDelegate::setApplicationIcon); // after the painting
    }
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::WindowStateChange:
            if (m_window->isMinimized())
                enterBackgroundUnlessClosing();
            break;
        case QEvent::Hide:
            if (!event->spontaneous())
                enterBackgroundUnlessClosing();
            break;
        case QEvent::Close:
            // Closing the window ends the application: it hides the window on the way, and the
            // window system may call the application inactive or hidden, but termination tells
            // the tracking screen nothing.
            m_closing = true;
            break;
        case QEvent::Show:
            m_closing = false;
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
