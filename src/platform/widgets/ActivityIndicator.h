// ActivityIndicator: a spinning wheel that shows work in progress.
#pragma once

#include <QTimer>
#include <QWidget>

class ActivityIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit ActivityIndicator(QWidget *parent = nullptr);

    void startAnimating();
    void stopAnimating();
    [[nodiscard]] bool isAnimating() const { return m_timer.isActive(); }

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};
