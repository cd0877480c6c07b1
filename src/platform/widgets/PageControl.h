// PageControl: a row of dots showing which of several pages is in view.
#pragma once

#include <QWidget>

class PageControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(
        int numberOfPages READ numberOfPages WRITE setNumberOfPages NOTIFY numberOfPagesChanged)
    Q_PROPERTY(int currentPage READ currentPage WRITE setCurrentPage NOTIFY valueChanged)
public:
    explicit PageControl(QWidget *parent = nullptr);

    [[nodiscard]] int numberOfPages() const { return m_pages; }
    void setNumberOfPages(int pages);
    [[nodiscard]] int currentPage() const { return m_current; }
    // Any value is accepted; one outside 0 to pages - 1 is pinned to the nearer end.
    // valueChanged, but not activated.
    void setCurrentPage(int page);

    void setBackgroundColor(const QColor &colour);
    [[nodiscard]] QRectF dotRect(int page) const;
    [[nodiscard]] QSize sizeHint() const override;

Q_SIGNALS:
    // Every change of the current page, by the user or the program.
    void valueChanged(int currentPage);
    // The user tapped the control (or pressed an arrow key) and the current page moved one step
    // that way; after valueChanged. A step past either end moves nothing and is not reported.
    void activated(int page);
    void numberOfPagesChanged(int pages);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void stepByUser(int step);

    int m_pages = 0;
    int m_current = 0;
};
