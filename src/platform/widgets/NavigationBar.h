// NavigationBar: the bar across the top of a side, with a title and a button on its right.
#pragma once

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

// Views added to the bar may lie outside it and still show: the widget stretches over them,
// but only the bar itself and those views are drawn or take input.
class NavigationBar : public QWidget
{
    Q_OBJECT
public:
    enum BarStyle { Default = 0, Black = 1 };

    explicit NavigationBar(const QRect &frame, QWidget *parent = nullptr);

    void setBarStyle(BarStyle style);
    [[nodiscard]] BarStyle barStyle() const { return m_style; }
    [[nodiscard]] QRect frame() const { return m_frame; }

    void addSubview(QWidget *view);
    void pushNavigationItem(const NavigationItem &item, bool animated = false);

    [[nodiscard]] QString title() const { return m_title; }
    [[nodiscard]] QPushButton *rightButton() const { return m_rightButton; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    void fitOverSubviews();

    QRect m_frame;
    BarStyle m_style = Default;
    QString m_title;
    QPushButton *m_rightButton = nullptr;
};
