// Fuzz target: the tracking server's reply to a position report, as raw bytes off the socket.
#include "FuzzInput.h"

#include "shared/ReportReply.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body = FuzzInput::bytes(data, size);
    const ReportReply reply = ReportReply::fromBody(body);

    const bool ascii = std::all_of(data, data + size, [](std::uint8_t b) { return b < 0x80; });
    if (!ascii) {
        FUZZ_CHECK(reply.kind == ReportReply::Kind::Failure);
        FUZZ_CHECK(reply.text.isNull());
        FUZZ_CHECK(reply.message.isEmpty() && !reply.message.isNull());
        return 0;
    }

    FUZZ_CHECK(reply.text == QString::fromLatin1(body));
    FUZZ_CHECK(!reply.message.isNull());
    const QString &text = reply.text;
    // Whatever the kind, the status label shows a tail of the reply, or "OK".
    FUZZ_CHECK(text.endsWith(reply.message)
        || (reply.kind == ReportReply::Kind::Acknowledged && reply.message == u"OK"));
    FUZZ_CHECK((reply.kind == ReportReply::Kind::Acknowledged) == text.startsWith(u"OK"));
    switch (reply.kind) {
    case ReportReply::Kind::Acknowledged:
        break;
    case ReportReply::Kind::Stop:
        FUZZ_CHECK(text.startsWith(u"~~") && reply.message.size() == text.size() - 2);
        break;
    case ReportReply::Kind::Refusal:
        FUZZ_CHECK(text.startsWith(u"~") && !text.startsWith(u"~~"));
        FUZZ_CHECK(reply.message.size() == text.size() - 1);
        break;
    case ReportReply::Kind::Failure:
        FUZZ_CHECK(!text.startsWith(u"~") && reply.message == text);
        break;
    }
    return 0;
}
