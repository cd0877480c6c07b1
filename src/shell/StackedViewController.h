// StackedViewController: the settings side: the three settings pages and the colour picker.
#pragma once

#include "PagedContainer.h"
#include "ui_StackedView.h"

class StackedViewController : public PagedContainer
{
    Q_OBJECT
public:
    explicit StackedViewController(QObject *parent = nullptr);

    Ui::StackedView ui;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;
};
