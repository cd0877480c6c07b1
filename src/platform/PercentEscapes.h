// Percent-escaping of a whole URL text, and the check that a text is a usable URL.
#pragma once

#include <QString>
#include <QUrl>

// Escapes every character except A-Z a-z 0-9 and ! $ & ' ( ) * + , - . / : ; = ? @ [ ] _ ~ as
// %XX per UTF-8 byte, upper-case hex. URL punctuation is left alone, so the whole text of a URL
// is escaped in one pass, an IPv6 host in brackets included; "#" and "%" are escaped, so that a
// value never cuts the URL short or reads as an escape. Returns a null string when the text cannot
// be encoded (an unpaired UTF-16 surrogate).
[[nodiscard]] QString addingPercentEscapes(const QString &text);

// True when the text is an absolute http or https URL made only of the characters above,
// "%XX" escapes and at most one "#".
[[nodiscard]] bool isValidUrl(const QString &text);

// The URL for an already escaped text, taken byte for byte as it stands; an invalid QUrl when
// isValidUrl() says no.
[[nodiscard]] QUrl urlWithString(const QString &escapedText);
