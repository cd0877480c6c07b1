// AppDelegate: puts the root view into the application's window and passes each move into or
// out of the background down to the tracking screen.
#pragma once

#include <QObject>
#include <QPointer>

#include <QWidget>
class RootViewController;

class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    [[nodiscard]] QWidget *window() const { return m_window; }
    [[nodiscard]] RootViewController *rootViewController() const { return m_rootViewController; }

    void applicationDidFinishLaunching();
    void applicationDidEnterBackground();
    void applicationDidBecomeActive();
    void applicationWillResignActive() { }
    void applicationWillEnterForeground() { }
    void applicationWillTerminate() { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onApplicationStateChanged(Qt::ApplicationState state);
    void enterBackgroundUnlessClosing();
    static void setApplicationIcon();

    QPointer<QWidget> m_window;
    RootViewController *m_rootViewController;
    // Waiting: launched, nothing told yet; ToldAhead: the tracking screen was told of the
    // launch's activation before the window system reported it.
    enum class Launch { Waiting, ToldAhead, Over };
    Launch m_launch = Launch::Waiting;
    bool m_closing = false;
};
