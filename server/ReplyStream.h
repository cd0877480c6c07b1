// ReplyStream: a reply's body made while it goes out, a piece at a time.
#pragma once

#include <QByteArray>

#include <stdexcept>

// A body made while it goes out, a piece at a time, for replies too large to hold in memory.
class ReplyStream
{
public:
    class Failed : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    virtual ~ReplyStream() = default;
    // The next piece of the body; empty once the body is complete. Throws Failed when the rest
    // cannot be made; what went out already cannot be taken back then, so the connection is cut.
    [[nodiscard]] virtual QByteArray next() = 0;
};
