// AccountInfoReply: the account's details as the tracking server's reply lists them.
#pragma once

#include <QList>
#include <QString>

namespace AccountInfoReply {

struct Item
{
    QString title;
    QString text;
    friend bool operator==(const Item &, const Item &) = default;
};

// The reply is "title,text" items joined by "|"; a piece without exactly one comma is dropped,
// and whatever else a piece holds (blanks, line ends, markup) is kept as it came.
[[nodiscard]] QList<Item> parse(const QString &reply);

} // namespace AccountInfoReply
