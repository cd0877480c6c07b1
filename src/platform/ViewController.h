// ViewController: base of every screen; builds its view from the screen's Designer form.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class ViewController : public QObject
{
    Q_OBJECT
public:
    explicit ViewController(QObject *parent = nullptr);
    ~ViewController() override;

    // The screen's view, created from its form on first use; viewDidLoad() runs right after.
    QWidget *view();
    [[nodiscard]] bool isViewLoaded() const { return !m_view.isNull(); }

    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);

protected:
    // Fills the freshly created view from the screen's form (ui->setupUi(view)).
    virtual void loadView(QWidget *view) = 0;
    virtual void viewDidLoad();

private:
    QPointer<QWidget> m_view;
};
