// AccountInfoReply: the account's details as the tracking server's reply lists them.
#include "AccountInfoReply.h"

#include <QStringList>

QList<AccountInfoReply::Item> AccountInfoReply::parse(const QString &reply)
{
    QList<Item> items;
    const QStringList pieces = reply.split(QLatin1Char('|'));
    for (const QString &piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char(','));
        if (parts.size() == 2)
            items.append({ parts[0], parts[1] });
    }
    return items;
}
