// Settings2ViewController: how positions are shown and sent: location and speed units, automatic
// start and whether reports carry the speed.
#pragma once

#include "platform/ViewController.h"

#include <memory>

namespace Ui {
class Settings2View;
}

class Settings2ViewController : public ViewController
{
    Q_OBJECT
public:
    explicit Settings2ViewController(QObject *parent = nullptr);
    ~Settings2ViewController() override;

    // Each control's action stores its choice at once, so that nothing is lost if the program
    // ends before the page is left.
    void setLocationUnits();
    void switchSendAuto();
    void switchSendSpeed();
    void setSpeed();

    void loadDefaults();
    void backgroundColorSet();

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    std::unique_ptr<Ui::Settings2View> ui;
};
