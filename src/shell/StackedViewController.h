// StackedViewController: the settings side: the three settings pages and the colour picker.
#pragma once

#include "PagedContainer.h"

#include <memory>

namespace Ui {
class StackedView;
}

class StackedViewController : public PagedContainer
{
    Q_OBJECT
public:
    explicit StackedViewController(QObject *parent = nullptr);
    ~StackedViewController() override;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    std::unique_ptr<Ui::StackedView> ui;
};
