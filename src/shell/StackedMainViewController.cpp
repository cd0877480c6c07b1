// StackedMainViewController: the main side: the tracking screen and the position history as
// two pages, and the path by which the background state reaches the tracking screen.
#include "StackedMainViewController.h"
#include "ui_StackedMainView.h"

#include "history/Main2ViewController.h"
#include "tracking/MainViewController.h"

#include <QPointer>

namespace {
QPointer<MainViewController> mvc;
QPointer<Main2ViewController> m2vc;
} // namespace

StackedMainViewController::StackedMainViewController(QObject *parent)
    : PagedContainer(parent)
    , ui(std::make_unique<Ui::StackedMainView>())
{ }

StackedMainViewController::~StackedMainViewController() = default;

MainViewController *StackedMainViewController::mainViewController()
{
    return mvc;
}

Main2ViewController *StackedMainViewController::main2ViewController()
{
    return m2vc;
}

void StackedMainViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
}

void StackedMainViewController::viewDidLoad()
{
    // The tracking screen comes first, so that the history already listens when the first
    // report is made. The history starts one point past the page boundary.
    setUpPages(ui->uiscrollview, ui->uipagecontrol,
        { { [](QObject *parent) { return mvc = new MainViewController(parent); }, 0.0 },
            { [](QObject *parent) { return m2vc = new Main2ViewController(parent); }, 1.0 } });
}

void StackedMainViewController::switchToBackgroundMode(bool background)
{
    if (mvc)
        mvc->switchToBackgroundMode(background);
}
