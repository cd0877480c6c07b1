// contentsOfUrl: a GET that blocks the calling thread until the whole reply is there.
#pragma once

#include <QString>
#include <QUrl>

// Fetches the URL and decodes the body as UTF-8, an initial byte-order mark kept as a
// character. The calling thread truly waits: no events are processed meanwhile (the request
// runs on a thread of its own). Returns a null string and sets *error on a transport failure,
// the time-out, a body over the size limit or a body that is not UTF-8. HTTP status codes are
// not looked at.
[[nodiscard]] QString contentsOfUrl(const QUrl &url, QString *error);
