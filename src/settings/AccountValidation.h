// AccountValidation: asking the server whether a user name may be used on this device, and
// what the answer comes to for the account page.
#pragma once

#include <QString>

#include <optional>

namespace AccountValidation {

struct Outcome
{
    enum class Kind { Success, Failure, Error } kind = Kind::Error;
    // Success and Failure: the name, as the server gave it; Error: the message to show.
    QString text;
    // The name the server knows this device by, for the name field, when it told one.
    std::optional<QString> nameFromServer;
    // A reply the program does not understand, shown to the user as it came; null when none.
    QString alert;
};

// The shared name "test" is always taken, in any case, without asking.
[[nodiscard]] bool isTestUser(const QString &name);

// Validates `name` ("?" asks the server which name the device has) for the device, asking the
// server when there is a network; it waits for the answer.
[[nodiscard]] Outcome validateUser(const QString &name, const QString &device);

} // namespace AccountValidation
