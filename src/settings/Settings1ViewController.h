// Settings1ViewController: settings page 1: the account (user name, its validation, device id
// and password, undo) and the update frequency.
#pragma once

#include "platform/ViewController.h"

#include <memory>

namespace AccountValidation {
struct Outcome;
}

class QLineEdit;

namespace Ui {
class Settings1View;
}

class Settings1ViewController : public ViewController
{
    Q_OBJECT
public:
    explicit Settings1ViewController(QObject *parent = nullptr);
    ~Settings1ViewController() override;

    // Account
    void loadDefaults();
    void validateUser();
    void forgottenUser();
    void useTest();
    void disallowTest();
    bool UserChanged();
    void UndoEnabled();
    void userInfoChanged();
    void undoChanges();
    void usernameEditingChanged(QLineEdit *field);
    void textFieldCancelKeyboard(QLineEdit *field);
    void spinBegin();
    void spinEnd();
    void backgroundColorSet();

    // Update frequency
    void timeButtonClicked(QObject *sender);
    void sliderValueChanged(QObject *sender);
    void setFrequency();
    bool FreqChanged();

    static constexpr int maxUserNameLength = 20;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    void apply(const AccountValidation::Outcome &outcome);
    void showEntryMode();

    std::unique_ptr<Ui::Settings1View> ui;
};
