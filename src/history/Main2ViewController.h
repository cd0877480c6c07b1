// Main2ViewController: the history of this run's position reports, their acknowledgement marks,
// and the resend of every report the server has not acknowledged.
#pragma once

#include "ResendQueue.h"

#include "platform/UrlConnectionDelegate.h"
#include "platform/ViewController.h"
#include "platform/widgets/TableViewDataSource.h"

#include <QStringList>

#include <map>
#include <memory>

namespace Ui {
class Main2View;
}

class Main2ViewController : public ViewController,
                            public TableViewDataSource,
                            public UrlConnectionDelegate
{
    Q_OBJECT
public:
    explicit Main2ViewController(QObject *parent = nullptr);
    ~Main2ViewController() override;

    void loadDefaults();
    void addLocation(const QString &requestText);
    void okLocation(const QString &reply);
    void sendMissing();
    [[nodiscard]] bool connectedToNetwork() const;
    void spinBegin();
    void spinEnd();
    void backgroundColorSet();

    // The history of the run, oldest first: request texts, ids and marks ("" or "OK"), each
    // list made when asked for.
    [[nodiscard]] static QStringList urlItems();
    [[nodiscard]] static QStringList idItems();
    [[nodiscard]] static QStringList sentOKItems();

    // Table
    int numberOfSectionsInTableView(TableView *tableView) override;
    int tableViewNumberOfRowsInSection(TableView *tableView, int section) override;
    QString tableViewTitleForHeaderInSection(TableView *tableView, int section) override;
    std::unique_ptr<TableViewCell> tableViewCellForRowAtIndexPath(
        TableView *tableView, const IndexPath &path) override;
    AccessoryType tableViewAccessoryTypeForRowWithIndexPath(
        TableView *tableView, const IndexPath &path) override;
    void modCell(TableViewCell *cell, int index) const;

    // Resend exchanges
    void connectionDidReceiveResponse(UrlConnection *connection, int statusCode) override;
    void connectionDidReceiveData(UrlConnection *connection, const QByteArray &data) override;
    void connectionDidFinishLoading(UrlConnection *connection) override;
    void connectionDidFailWithError(UrlConnection *connection, const QString &error) override;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    void startResends();

    std::unique_ptr<Ui::Main2View> ui;
    std::map<UrlConnection *, QByteArray> responseData; // one reply buffer per exchange
    ResendQueue resendQueue;
};
