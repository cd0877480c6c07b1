// Fuzz target: the tracking server's reply to a user name validation. The first line of the
// input is the name that was sent, the rest the reply.
#include "FuzzInput.h"

#include "settings/ValidationReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::optional<QString> input = FuzzInput::text(data, size);
    if (!input)
        return -1;
    const qsizetype lineEnd = input->indexOf(u'\n');
    const QString nameSent = lineEnd < 0 ? QString() : input->left(lineEnd);
    const QString reply = lineEnd < 0 ? *input : input->mid(lineEnd + 1);

    const ValidationReply outcome = ValidationReply::fromText(reply, nameSent);

    const bool registered = reply.startsWith(u"USER") && reply != u"USERNAME IN USE";
    FUZZ_CHECK(outcome.nameFromServer == registered);
    if (outcome.nameFromServer)
        FUZZ_CHECK(QStringLiteral("USER") + outcome.name == reply);
    else
        FUZZ_CHECK(outcome.name == nameSent);
    FUZZ_CHECK((outcome.kind == ValidationReply::Success) == (registered || reply == u"VALIDATED"));
    // An alert is for replies we cannot read, never for an answer we understood.
    FUZZ_CHECK(outcome.alertDue
        == (outcome.kind == ValidationReply::Failure && reply != u"NOT VALIDATED"));
    return 0;
}
