// StackedMainViewController: the main side: the tracking screen and the position history as
// two pages, and the path by which the background state reaches the tracking screen.
#pragma once

#include "PagedContainer.h"

#include <memory>

class MainViewController;
class Main2ViewController;

namespace Ui {
class StackedMainView;
}

class StackedMainViewController : public PagedContainer
{
    Q_OBJECT
public:
    explicit StackedMainViewController(QObject *parent = nullptr);
    ~StackedMainViewController() override;

    void switchToBackgroundMode(bool background);

    // The two pages, once the side has loaded.
    [[nodiscard]] static MainViewController *mainViewController();
    [[nodiscard]] static Main2ViewController *main2ViewController();

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    std::unique_ptr<Ui::StackedMainView> ui;
};
