// TableView: a scrolling list of rows in sections, filled by a data source, drawing only the
// rows on screen so that it stays fast however many rows it has.
#pragma once

#include "TableViewDataSource.h"

#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QTableView;

class TableView : public QWidget
{
    Q_OBJECT
public:
    explicit TableView(QWidget *parent = nullptr);
    ~TableView() override;

    void setDataSource(TableViewDataSource *dataSource);
    [[nodiscard]] TableViewDataSource *dataSource() const { return m_dataSource; }

    void setRowHeight(int height);
    [[nodiscard]] int rowHeight() const { return m_rowHeight; }

    // Asks the data source again for its sections and row counts and redraws.
    void reloadData();

    [[nodiscard]] int numberOfSections() const { return int(m_sections.size()); }
    [[nodiscard]] int numberOfRowsInSection(int section) const;
    [[nodiscard]] QString titleForHeaderInSection(int section) const;

    // Scrolls so that the row is on screen.
    void scrollToRow(const IndexPath &path);
    // The row drawn at a point of this widget, if any.
    [[nodiscard]] std::optional<IndexPath> indexPathForPoint(const QPoint &point) const;

    static constexpr int sectionHeaderHeight = 22;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    class Model;
    class Delegate;
    friend class Model;
    friend class Delegate;

    struct Section
    {
        QString title;
        int rows = 0;
        int firstLine = 0; // the line of its first row in the flat list of the view
        bool inlineHeader = false;
    };
    // A line of the flat list: a section header (row -1) or a row.
    struct Line
    {
        int section = 0;
        int row = -1;
    };
    [[nodiscard]] Line lineAt(int line) const;
    [[nodiscard]] int lineCount() const;
    [[nodiscard]] int lineOf(const IndexPath &path) const;
    void onClicked(int line);

    TableViewDataSource *m_dataSource = nullptr;
    int m_rowHeight = 44;
    std::vector<Section> m_sections;
    QLabel *m_stickyHeader;
    QTableView *m_view;
    Model *m_model;
};
