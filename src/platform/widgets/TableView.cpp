// TableView: a scrolling list of rows in sections, filled by a data source, drawing only the
// rows on screen so that it stays fast however many rows it has.
#include "TableView.h"

#include "TableViewCell.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

// A QTableView with fixed row heights keeps the cost of adding rows and of a reload the same for
// a million rows as for ten; the model only tells it how many lines there are.
class TableView::Model : public QAbstractTableModel
{
public:
    explicit Model(TableView *table)
        : QAbstractTableModel(table)
        , m_table(table)
    { }
    void reset(const std::function<void()> &change)
    {
        beginResetModel();
        change();
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_table->lineCount();
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 1;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const Line line = m_table->lineAt(index.row());
        if (line.row < 0 && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
            return m_table->m_sections[line.section].title;
        return {};
    }

private:
    TableView *m_table;
};

// Draws each line: a section header, or the cell that the data source makes for the row,
// rendered in place and then let go.
class TableView::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(TableView *table)
        : QStyledItemDelegate(table)
        , m_table(table)
    { }
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        const Line line = m_table->lineAt(index.row());
        if (line.row < 0)
            paintHeader(painter, option.rect, m_table->m_sections[line.section].title);
        else
            paintRow(painter, option.rect, { line.section, line.row });
    }

    static void paintHeader(QPainter *painter, const QRect &rect, const QString &title)
    {
        QLinearGradient fill(rect.topLeft(), rect.bottomLeft());
        // Dark enough for its white title to read (a contrast of 4.5:1 at the light end).
        fill.setColorAt(0, QColor(84, 98, 110));
        fill.setColorAt(1, QColor(104, 117, 128));
        painter->fillRect(rect, fill);
        QFont font = painter->font();
        font.setBold(true);
        painter->save();
        painter->setFont(font);
        painter->setPen(Qt::white);
        painter->drawText(rect.adjusted(12, 0, -12, 0), Qt::AlignVCenter | Qt::AlignLeft, title);
        painter->restore();
    }

private:
    void paintRow(QPainter *painter, const QRect &rect, const IndexPath &path) const
    {
        TableViewDataSource *source = m_table->m_dataSource;
        painter->fillRect(rect, Qt::white);
        if (std::unique_ptr<TableViewCell> cell
            = source->tableViewCellForRowAtIndexPath(m_table, path)) {
            cell->setAttribute(Qt::WA_DontShowOnScreen);
            // A cell has no parent to take colours from: it is drawn in the table's, not in
            // the desktop's, which may be light text for dark rows. Every colour counts as set,
            // or the cell would take the desktop's for those the table only inherited.
            QPalette colours = m_table->palette();
            colours.setResolveMask(~QPalette::ResolveMask(0));
            cell->setPalette(colours);
            cell->resize(rect.size());
            // The cell is never shown, so its views count as hidden until they are marked
            // visible; views the data source hid on purpose stay hidden.
            const auto views = cell->findChildren<QWidget *>();
            for (QWidget *v : views) {
                if (!v->testAttribute(Qt::WA_WState_ExplicitShowHide))
                    v->setVisible(true);
            }
            // Rendered apart and then drawn in place: rendering straight into the view's
            // painter places the cell's views by the wrong origin.
            const qreal ratio = painter->device()->devicePixelRatioF();
            QPixmap picture(rect.size() * ratio);
            picture.setDevicePixelRatio(ratio);
            picture.fill(Qt::transparent);
            cell->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
            painter->drawPixmap(rect.topLeft(), picture);
        }
        if (source->tableViewAccessoryTypeForRowWithIndexPath(m_table, path)
            == TableViewDataSource::AccessoryType::DisclosureIndicator)
            paintChevron(painter, rect);
        painter->setPen(QColor(224, 224, 224));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }
    static void paintChevron(QPainter *painter, const QRect &rect)
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(QColor(150, 150, 150), 2, Qt::SolidLine, Qt::RoundCap));
        const QPointF tip(rect.right() - 10, rect.center().y());
        painter->drawLine(tip + QPointF(-5, -5), tip);
        painter->drawLine(tip + QPointF(-5, 5), tip);
        painter->restore();
    }

    TableView *m_table;
};

TableView::TableView(QWidget *parent)
    : QWidget(parent)
    , m_stickyHeader(new QLabel(this))
    , m_view(new QTableView(this))
    , m_model(new Model(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_stickyHeader);
    layout->addWidget(m_view);
    m_stickyHeader->setFixedHeight(sectionHeaderHeight);
    m_stickyHeader->hide();
    m_stickyHeader->installEventFilter(this);

    m_view->setObjectName(QStringLiteral("list"));
    setFocusPolicy(m_view->focusPolicy());
    setFocusProxy(m_view);
    // Hidden before the model comes, the headers are never measured, which would load a font.
    m_view->horizontalHeader()->hide();
    m_view->verticalHeader()->hide();
    m_view->setModel(m_model);
    m_view->setItemDelegate(new Delegate(this));
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setMinimumSectionSize(1);
    m_view->setShowGrid(false);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setFrameShape(QFrame::NoFrame);
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Base, Qt::white);
    m_view->setPalette(palette);
    setRowHeight(m_rowHeight);
    connect(m_view, &QTableView::clicked, this,
        [this](const QModelIndex &index) { onClicked(index.row()); });
}

TableView::~TableView() = default;

void TableView::setDataSource(TableViewDataSource *dataSource)
{
    m_dataSource = dataSource;
    reloadData();
}

void TableView::setRowHeight(int height)
{
    m_rowHeight = height;
    m_view->verticalHeader()->setDefaultSectionSize(height);
}

int TableView::lineCount() const
{
    if (m_sections.empty())
        return 0;
    const Section &last = m_sections.back();
    return last.firstLine + last.rows;
}

TableView::Line TableView::lineAt(int line) const
{
    // The first section that starts after this line.
    auto it = std::upper_bound(m_sections.begin(), m_sections.end(), line,
        [](int l, const Section &s) { return l < s.firstLine; });
    // The line just before a section's first row is that section's own header, not a row past
    // the end of the section above.
    if (it != m_sections.end() && it->inlineHeader && line == it->firstLine - 1)
        return { int(it - m_sections.begin()), -1 };
    if (it == m_sections.begin())
        return { 0, -1 };
    // Otherwise a row of the last section that starts at or before it.
    --it;
    const int section = int(it - m_sections.begin());
    return { section, line - it->firstLine };
}

int TableView::lineOf(const IndexPath &path) const
{
    return m_sections[std::size_t(path.section)].firstLine + path.row;
}

void TableView::reloadData()
{
    m_model->reset([this] {
        m_sections.clear();
        if (!m_dataSource)
            return;
        const int count = qMax(0, m_dataSource->numberOfSectionsInTableView(this));
        // One section keeps its header above the rows while they scroll; several sections
        // have their headers between their rows.
        const bool inlineHeaders = count > 1;
        int line = 0;
        for (int s = 0; s < count; ++s) {
            Section section;
            section.title = m_dataSource->tableViewTitleForHeaderInSection(this, s);
            section.rows = qMax(0, m_dataSource->tableViewNumberOfRowsInSection(this, s));
            section.inlineHeader = inlineHeaders && !section.title.isEmpty();
            if (section.inlineHeader)
                ++line;
            section.firstLine = line;
            line += section.rows;
            m_sections.push_back(section);
        }
    });
    // A header that may update works out every section's position again at each resize, which
    // froze the window for seconds over a large account; without updates it does so once, when
    // the view next asks for a position.
    QHeaderView *lines = m_view->verticalHeader();
    lines->setUpdatesEnabled(false);
    for (const Section &section : m_sections) {
        if (section.inlineHeader)
            lines->resizeSection(section.firstLine - 1, sectionHeaderHeight);
    }
    lines->setUpdatesEnabled(true);
    const bool sticky = m_sections.size() == 1 && !m_sections.front().title.isEmpty();
    m_stickyHeader->setVisible(sticky);
    if (sticky)
        m_stickyHeader->setText(m_sections.front().title);
}

// The list inside is what takes focus, so it is what a screen reader names: it takes the
// table's own name, which forms set after construction.
void TableView::showEvent(QShowEvent *event)
{
    if (m_view->accessibleName().isEmpty())
        m_view->setAccessibleName(accessibleName());
    QWidget::showEvent(event);
}

bool TableView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_stickyHeader && event->type() == QEvent::Paint) {
        QPainter painter(m_stickyHeader);
        Delegate::paintHeader(&painter, m_stickyHeader->rect(), m_stickyHeader->text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

int TableView::numberOfRowsInSection(int section) const
{
    return section >= 0 && section < numberOfSections() ? m_sections[std::size_t(section)].rows : 0;
}

QString TableView::titleForHeaderInSection(int section) const
{
    return section >= 0 && section < numberOfSections() ? m_sections[std::size_t(section)].title
                                                        : QString();
}

void TableView::scrollToRow(const IndexPath &path)
{
    if (path.row < numberOfRowsInSection(path.section))
        m_view->scrollTo(m_model->index(lineOf(path), 0));
}

std::optional<IndexPath> TableView::indexPathForPoint(const QPoint &point) const
{
    const QModelIndex index = m_view->indexAt(m_view->viewport()->mapFrom(this, point));
    if (!index.isValid())
        return std::nullopt;
    const Line line = lineAt(index.row());
    if (line.row < 0)
        return std::nullopt;
    return IndexPath { line.section, line.row };
}

void TableView::onClicked(int lineNumber)
{
    const Line line = lineAt(lineNumber);
    if (m_dataSource && line.row >= 0)
        m_dataSource->tableViewDidSelectRowAtIndexPath(this, { line.section, line.row });
}
