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
    static void setApplicationIcon();

    QPointer<QWidget> m_window;
    RootViewController *m_rootViewController;
    bool m_activeSeen = false;
};
