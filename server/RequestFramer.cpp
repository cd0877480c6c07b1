// RequestFramer: request boundaries, strict heads, and what each request asks of the connection.
#include "RequestFramer.h"

#include <QList>

#include <algorithm>

namespace {

const RequestFramer::Refusal badRequest { "400 Bad Request", "Bad request" };
const RequestFramer::Refusal tooLarge { "413 Content Too Large", "Request too large" };
const RequestFramer::Refusal withBody { "413 Content Too Large",
    "This server takes no request bodies" };

// "#" never belongs in a request's target; anything else visible may reach the strict decoder.
bool isTargetByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b > 0x20 && b != 0x7F && c != '#';
}

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// Empty lines may come before a request; they belong to it, but it starts after them.
qsizetype requestStart(QByteArrayView bytes)
{
    const auto start = std::find_if_not(bytes.begin(), bytes.end(), isLineBreak);
    return start - bytes.begin();
}

bool sameName(QByteArrayView name, QByteArrayView wanted)
{
    return qstrnicmp(name.data(), name.size(), wanted.data(), wanted.size()) == 0;
}

// The end of a head (just after its empty line), searching from `from`, or -1. A line may end
// in LF alone, as the HTTP layer allows it too.
qsizetype headEnd(QByteArrayView head, qsizetype from)
{
    for (qsizetype i = head.indexOf('\n', from); i >= 0; i = head.indexOf('\n', i + 1)) {
        if (i + 1 < head.size() && head[i + 1] == '\n')
            return i + 2;
        if (i + 2 < head.size() && head[i + 1] == '\r' && head[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

} // namespace

RequestFramer::Verdict RequestFramer::requestLine(QByteArrayView start)
{
    start = start.sliced(requestStart(start));
    const qsizetype blank = start.indexOf(' ');
    const QByteArrayView method = blank < 0 ? start : start.first(blank);
    const bool capitals
        = std::all_of(method.begin(), method.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (!capitals || method.size() > 16 || blank == 0)
        return Verdict::Bad;
    const qsizetype end = start.indexOf('\n');
    if (end < 0)
        return Verdict::Incomplete;
    QByteArrayView line = start.first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    if (blank < 0 || blank > end)
        return Verdict::Bad;
    const QByteArrayView rest = line.sliced(blank + 1);
    const qsizetype second = rest.indexOf(' ');
    if (second <= 0)
        return Verdict::Bad;
    const QByteArrayView target = rest.first(second);
    const QByteArrayView version = rest.sliced(second + 1);
    const bool plainTarget = std::all_of(target.begin(), target.end(), isTargetByte);
    return plainTarget && (version == "HTTP/1.1" || version == "HTTP/1.0") ? Verdict::Good
                                                                           : Verdict::Bad;
}

std::optional<RequestFramer::Refusal> RequestFramer::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && !m_closing) {
        const qsizetype before = m_head.size();
        // One byte beyond the limit is enough to know the request is too large.
        m_head += bytes.first(std::min(bytes.size(), maxRequestBytes + 1 - before));
        if (!m_lineChecked) {
            const Verdict verdict = requestLine(m_head);
            if (verdict == Verdict::Bad)
                return badRequest;
            m_lineChecked = verdict == Verdict::Good;
        }
        const qsizetype start = requestStart(m_head);
        const qsizetype end
            = m_lineChecked ? headEnd(m_head, std::max(start, before - 2)) : qsizetype(-1);
        if (end < 0) {
            if (m_head.size() > maxRequestBytes)
                return tooLarge;
            m_seen += m_head.size() - before;
            bytes = bytes.sliced(m_head.size() - before);
            continue;
        }
        if (end > maxRequestBytes)
            return tooLarge;
        m_head.truncate(end);
        m_seen += end - before;
        bytes = bytes.sliced(end - before);
        if (std::optional<Refusal> refusal = headEnded())
            return refusal;
    }
    return std::nullopt;
}

std::optional<RequestFramer::Refusal> RequestFramer::headEnded()
{
    const QByteArrayView head = QByteArrayView(m_head).sliced(requestStart(m_head));
    QList<QByteArrayView> lines;
    for (qsizetype from = 0; from < head.size();) {
        const qsizetype lineEnd = head.indexOf('\n', from);
        QByteArrayView line = head.sliced(from, lineEnd - from);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        from = lineEnd + 1;
    }
    const QByteArrayView requestLine = lines.first();
    const qsizetype blank = requestLine.indexOf(' ');
    const qsizetype second = requestLine.indexOf(' ', blank + 1);
    Framed framed;
    framed.request.method = requestLine.first(blank).toByteArray();
    framed.request.target = requestLine.sliced(blank + 1, second - blank - 1).toByteArray();
    framed.request.knowsChunks = requestLine.sliced(second + 1) == "HTTP/1.1";
    framed.request.closeAfter = !framed.request.knowsChunks;
    for (qsizetype i = 1; i < lines.size() && !lines[i].isEmpty(); ++i) {
        if (std::optional<Refusal> refusal = checkHeader(lines[i], framed.request))
            return refusal;
    }
    framed.end = m_seen;
    m_closing = framed.request.closeAfter;
    m_framed.push_back(std::move(framed));
    m_head.clear();
    m_lineChecked = false;
    return std::nullopt;
}

// Only what decides where the request ends, or whether the connection stays, is read here. A
// body would be read by the HTTP layer as part of the request, so none is taken at all: only
// GET is served.
std::optional<RequestFramer::Refusal> RequestFramer::checkHeader(
    QByteArrayView line, Request &request)
{
    if (line.startsWith(' ') || line.startsWith('\t')) // a folded line
        return badRequest;
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return badRequest;
    const QByteArrayView name = line.first(colon);
    if (name.contains(' ') || name.contains('\t'))
        return badRequest;
    const QByteArrayView value = line.sliced(colon + 1).trimmed();
    if (sameName(name, "content-length")) {
        const bool number = !value.isEmpty()
            && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!number)
            return badRequest;
        if (value.size() != 1 || value[0] != '0')
            return withBody;
    }
    if (sameName(name, "transfer-encoding"))
        return withBody;
    if (sameName(name, "connection")) {
        for (const QByteArray &option : value.toByteArray().split(',')) {
            if (sameName(option.trimmed(), "close"))
                request.closeAfter = true;
        }
    }
    return std::nullopt;
}

std::optional<RequestFramer::Request> RequestFramer::takeRequest()
{
    if (m_framed.empty())
        return std::nullopt;
    Framed first = std::move(m_framed.front());
    m_framed.pop_front();
    m_takenEnd = first.end;
    return std::move(first.request);
}
