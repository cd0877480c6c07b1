// ExchangeTimeout: a shorter time-out for the HTTP exchanges of one test; the time-out before it
// comes back when it goes.
#pragma once

#include "platform/UrlExchange.h"

class ExchangeTimeout
{
public:
    explicit ExchangeTimeout(std::chrono::milliseconds timeout)
    {
        UrlExchange::setTimeout(timeout);
    }
    ~ExchangeTimeout() { UrlExchange::setTimeout(m_before); }
    ExchangeTimeout(const ExchangeTimeout &) = delete;
    ExchangeTimeout &operator=(const ExchangeTimeout &) = delete;

private:
    const std::chrono::milliseconds m_before = UrlExchange::timeout();
};
