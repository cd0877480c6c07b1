// AccountNames: which user names and device identifiers the server accepts, and how names compare.
#pragma once

#include <QString>

namespace AccountNames {

// 3 to 20 characters, each a letter, a digit, a blank, ".", "_" or "-". Nothing else is
// allowed so that a registered name can never carry a character that splits a query ("&", "=",
// "?") or an account information item ("|", ",").
[[nodiscard]] bool isAcceptableUserName(const QString &name);

// The form under which names are unique: compatibility forms and letter case are folded away,
// so "Anna", "ANNA" and the full-width "Ａnna" are the same account.
[[nodiscard]] QString folded(const QString &name);

// "test" in any case (and any compatibility form): the shared account the program offers
// without asking the server.
[[nodiscard]] bool isTestUser(const QString &name);

// 1 to 128 characters, none of them a control character.
[[nodiscard]] bool isAcceptableDevice(const QString &device);

} // namespace AccountNames
