// SegmentedControl: a row of segments of which one is selected.
#pragma once

#include <QStringList>
#include <QWidget>

class SegmentedControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QStringList titles READ titles WRITE setTitles)
    Q_PROPERTY(int selectedSegmentIndex READ selectedSegmentIndex WRITE setSelectedSegmentIndex)
public:
    static constexpr int noSegment = -1;

    explicit SegmentedControl(QWidget *parent = nullptr);

    [[nodiscard]] QStringList titles() const { return m_titles; }
    void setTitles(const QStringList &titles);
    [[nodiscard]] int numberOfSegments() const { return int(m_titles.size()); }

    [[nodiscard]] int selectedSegmentIndex() const { return m_selected; }
    // Selects from the program; an index outside the segments selects none. No valueChanged.
    void setSelectedSegmentIndex(int index);

    [[nodiscard]] QRect segmentRect(int index) const;
    [[nodiscard]] QSize sizeHint() const override;

Q_SIGNALS:
    // The user selected another segment.
    void valueChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void selectByUser(int index);

    QStringList m_titles;
    int m_selected = noSegment;
};
