// TableViewDataSource: what a TableView asks of the screen that fills it.
#pragma once

#include <QString>

#include <memory>

class TableView;
class TableViewCell;

struct IndexPath
{
    int section = 0;
    int row = 0;
};

class TableViewDataSource
{
public:
    enum class AccessoryType { None = 0, DisclosureIndicator = 1 };

    virtual ~TableViewDataSource() = default;

    virtual int numberOfSectionsInTableView(TableView *) { return 1; }
    virtual int tableViewNumberOfRowsInSection(TableView *tableView, int section) = 0;
    virtual QString tableViewTitleForHeaderInSection(TableView *, int) { return {}; }
    // A new cell for the row; the table asks only for rows it is about to draw.
    virtual std::unique_ptr<TableViewCell> tableViewCellForRowAtIndexPath(
        TableView *tableView, const IndexPath &path)
        = 0;
    virtual AccessoryType tableViewAccessoryTypeForRowWithIndexPath(TableView *, const IndexPath &)
    {
        return AccessoryType::None;
    }

    // Delegate calls: the user tapped a row, or its accessory.
    virtual void tableViewDidSelectRowAtIndexPath(TableView *, const IndexPath &) { }
    virtual void tableViewAccessoryButtonTappedForRowWithIndexPath(TableView *, const IndexPath &)
    { }
};
