// TableViewCell: one row of a TableView; screens add their labels to it.
#pragma once

#include <QWidget>

class TableViewCell : public QWidget
{
    Q_OBJECT
public:
    explicit TableViewCell(const QString &reuseIdentifier, QWidget *parent = nullptr)
        : QWidget(parent)
        , m_reuseIdentifier(reuseIdentifier)
    { }

    [[nodiscard]] QString reuseIdentifier() const { return m_reuseIdentifier; }

private:
    QString m_reuseIdentifier;
};
