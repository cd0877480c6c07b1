// StackedViewController: the settings side: the three settings pages and the colour picker.
#include "StackedViewController.h"
#include "ui_StackedView.h"

#include "colourpicker/ColorPickerViewController.h"
#include "settings/Settings1ViewController.h"
#include "settings/Settings2ViewController.h"
#include "settings/Settings3ViewController.h"

namespace {

template<class Screen> ViewController *make(QObject *parent)
{
    return new Screen(parent);
}

} // namespace

StackedViewController::StackedViewController(QObject *parent)
    : PagedContainer(parent)
    , ui(std::make_unique<Ui::StackedView>())
{ }

StackedViewController::~StackedViewController() = default;

void StackedViewController::loadView(QWidget *view)
{
    ui->setupUi(view);
}

void StackedViewController::viewDidLoad()
{
    setUpPages(ui->uiscrollview, ui->uipagecontrol,
        { { make<Settings1ViewController>, 0.0 }, { make<Settings2ViewController>, 0.0 },
            { make<Settings3ViewController>, 0.0 }, { make<ColorPickerViewController>, 0.0 } });
}
