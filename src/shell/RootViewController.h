// RootViewController: the application's two sides under their navigation bars, and the page
// curl between them.
#pragma once

#include "platform/ViewController.h"

#include <QPointer>

#include "platform/widgets/NavigationBar.h"
class StackedMainViewController;
class StackedViewController;

class RootViewController : public ViewController
{
    Q_OBJECT
public:
    explicit RootViewController(QObject *parent = nullptr);
    ~RootViewController() override;

    void loadMainsideViewController();
    void loadStackedViewController();
    void toggleView();

    [[nodiscard]] StackedMainViewController *stackedMainViewController() const
    {
        return m_stackedMainViewController;
    }
    [[nodiscard]] StackedViewController *stackedViewController() const
    {
        return m_stackedViewController;
    }
    [[nodiscard]] NavigationBar *mainsideNavigationBar() const { return m_mainsideNavigationBar; }
    [[nodiscard]] NavigationBar *flipsideNavigationBar() const { return m_flipsideNavigationBar; }
    // Which side shows follows from whether the main side's view is in the root view.
    [[nodiscard]] bool isMainSideShown() const;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    struct Side;
    NavigationBar *buildSide(ViewController *container, const Side &side);

    StackedMainViewController *m_stackedMainViewController = nullptr;
    StackedViewController *m_stackedViewController = nullptr;
    QPointer<NavigationBar> m_flipsideNavigationBar;
    QPointer<NavigationBar> m_mainsideNavigationBar;
};
