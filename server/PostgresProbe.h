// PostgresProbe: whether a PostgreSQL server answers at all, asked within a deadline.
#pragma once

#include <QDeadlineTimer>
#include <QString>

namespace PostgresProbe {

// Connects to HOST:PORT and asks the one question every PostgreSQL server answers before
// anything else (whether it speaks TLS); true when the one-byte answer arrives before the
// deadline. Unlike a connection attempt of libpq's, it never waits longer than it was told.
[[nodiscard]] bool answers(const QString &host, quint16 port, QDeadlineTimer deadline);

} // namespace PostgresProbe
