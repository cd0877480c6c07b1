// Benchmark of the account information table: how long a reload of many titled items keeps the
// window frozen, from the reload to the first frame drawn, for 10,000 and 100,000 items. A
// layout that grows with the square of the items shows as a ratio far above 1 against ten
// times the smaller account. Prints its figures; it is not a test.
#include "FigureRow.h"

#include "platform/widgets/TableView.h"
#include "platform/widgets/TableViewCell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

namespace {

// An account of titled items, one row each, as the account information page lists them.
class Account : public TableViewDataSource
{
public:
    int items = 0;

    int numberOfSectionsInTableView(TableView *) override { return items; }
    int tableViewNumberOfRowsInSection(TableView *, int) override { return 1; }
    QString tableViewTitleForHeaderInSection(TableView *, int section) override
    {
        return QStringLiteral("Item %1").arg(section);
    }
    std::unique_ptr<TableViewCell> tableViewCellForRowAtIndexPath(
        TableView *, const IndexPath &path) override
    {
        auto cell = std::make_unique<TableViewCell>(QStringLiteral("Cell"));
        auto *text = new QLabel(QStringLiteral("Detail %1").arg(path.section), cell.get());
        text->setGeometry(10, 0, 280, 30);
        return cell;
    }
};

double secondsToShow(int items)
{
    Account account;
    TableView table;
    table.setRowHeight(30);
    table.resize(320, 300);
    table.setDataSource(&account);
    table.show();
    QCoreApplication::processEvents();
    account.items = items;
    QElapsedTimer clock;
    clock.start();
    table.reloadData();
    table.repaint();
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    secondsToShow(1000); // fonts and the style loaded once, outside the figures
    const double small = secondsToShow(10'000);
    const double large = secondsToShow(100'000);
    std::printf("account information: 10,000 items %.3f s, 100,000 items %.3f s\n", small, large);
    printFigureRow(QStringLiteral("account information: reload and first frame of 100,000 items, "
                                  "against ten times 10,000 items"),
        QStringLiteral("%1 s").arg(large, 0, 'f', 3),
        QStringLiteral("%1 s").arg(10 * small, 0, 'f', 3), large / (10 * small));
    return 0;
}
