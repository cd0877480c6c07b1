// NavigationBar: the bar across the top of a side, with a title and a button on its right.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>

struct NavigationItem
{
    enum ButtonStyle { Plain = 0, Bordered = 1, Done = 2 };

    QString title;
    QString rightButtonTitle;
    ButtonStyle rightButtonStyle = Done;
    int rightButtonWidth = 0; // 0: as wide as its title needs
    std::function<void()> rightButtonAction;
};

// Views added to the bar are decoration: they show above the bar and what lies beside it, even
// far outside the bar, but take no input, so presses on them reach whatever lies beneath. They
// live on a see-through layer that follows the bar into its parent, on top there but for the
// bar's button, which follows the bar the same way and lies above them.
class NavigationBar : public QWidget
{
    Q_OBJECT
public:
    enum BarStyle { Default = 0, Black = 1 };

    explicit NavigationBar(const QRect &frame, QWidget *parent = nullptr);
    ~NavigationBar() override;

    void setBarStyle(BarStyle style);
    [[nodiscard]] BarStyle barStyle() const { return m_style; }
    [[nodiscard]] QRect frame() const { return m_frame; }

    void addSubview(QWidget *view);
    void pushNavigationItem(const NavigationItem &item, bool animated = false);

    [[nodiscard]] QString title() const { return m_title; }
    [[nodiscard]] QPushButton *rightButton() const { return m_rightButton; }
    // Where the title is drawn: never under the right button.
    [[nodiscard]] QRect titleRect() const;
    // The views added to the bar, in the order they were added.
    [[nodiscard]] QList<QWidget *> subviews() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct TitleLayout
    {
        QRect rect;
        QString text;
    };
    static constexpr int gap = 4; // between the title and the button or the bar's edge

    void placeDecorations();
    [[nodiscard]] QFont titleFont() const;
    [[nodiscard]] TitleLayout titleLayout() const;

    QRect m_frame;
    QPointer<QWidget> m_decorations;
    BarStyle m_style = Default;
    QString m_title;
    QPointer<QPushButton> m_rightButton;
    QRect m_rightButtonFrame; // in the bar's coordinates
};
