// SegmentedControl: a row of segments of which one is selected.
#pragma once

#include <QStringList>
#include <QWidget>

class SegmentedControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QStringList titles READ titles WRITE setTitles NOTIFY titlesChanged)
    Q_PROPERTY(int selectedSegmentIndex READ selectedSegmentIndex WRITE setSelectedSegmentIndex
            NOTIFY valueChanged)
public:
    static constexpr int noSegment = -1;

    explicit SegmentedControl(QWidget *parent = nullptr);

    [[nodiscard]] QStringList titles() const { return m_titles; }
    void setTitles(const QStringList &titles);
    [[nodiscard]] int numberOfSegments() const { return int(m_titles.size()); }

    [[nodiscard]] int selectedSegmentIndex() const { return m_selected; }
    // Selects from the program; an index outside the segments selects none. valueChanged, but
    // not activated.
    void setSelectedSegmentIndex(int index);

    [[nodiscard]] QRect segmentRect(int index) const;
    [[nodiscard]] QSize sizeHint() const override;

Q_SIGNALS:
    // Every change of the selected index, by the user or the program (noSegment: none).
    void valueChanged(int selectedSegmentIndex);
    // The user selected another segment, after valueChanged; choosing the selected one again
    // changes nothing and is not reported.
    void activated(int index);
    void titlesChanged(const QStringList &titles);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void select(int index);
    void selectByUser(int index);

    QStringList m_titles;
    int m_selected = noSegment;
};
