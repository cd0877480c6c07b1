// Settings3ViewController: the account's details as the tracking server has them, fetched on
// request and listed one section per item.
#pragma once

#include "platform/ViewController.h"
#include "platform/widgets/TableViewDataSource.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace Ui {
class Settings3View;
}

class Settings3ViewController : public ViewController, public TableViewDataSource
{
    Q_OBJECT
public:
    explicit Settings3ViewController(QObject *parent = nullptr);
    ~Settings3ViewController() override;

    void loadDefaults();
    void getInfo();
    void spinBegin();
    void spinEnd();
    void backgroundColorSet();

    // What the table lists: section titles and their rows' texts, element for element.
    [[nodiscard]] const QStringList &headerItems() const { return m_headerItems; }
    [[nodiscard]] const QStringList &detailItems() const { return m_detailItems; }

    // Table
    int numberOfSectionsInTableView(TableView *tableView) override;
    int tableViewNumberOfRowsInSection(TableView *tableView, int section) override;
    QString tableViewTitleForHeaderInSection(TableView *tableView, int section) override;
    std::unique_ptr<TableViewCell> tableViewCellForRowAtIndexPath(
        TableView *tableView, const IndexPath &path) override;
    AccessoryType tableViewAccessoryTypeForRowWithIndexPath(
        TableView *tableView, const IndexPath &path) override;

protected:
    void loadView(QWidget *view) override;
    void viewDidLoad() override;

private:
    std::unique_ptr<Ui::Settings3View> ui;
    QStringList m_headerItems;
    QStringList m_detailItems;
};
