// PositionHistory: this run's report request texts and their acknowledgement marks, kept compact
// enough for a history of millions of entries.
#include "PositionHistory.h"

#include "HistoryRow.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Big enough that a chunk holds thousands of reports, small enough that the last one, only
// partly filled, costs little.
constexpr qsizetype chunkSize = 1024 * 1024;
constexpr qsizetype firstIndexSize = 16;

// Ids are hashed by their UTF-16 code units, so that an id hashes alike whether its text is
// kept in one byte a character or two.
template<typename Unit> quint32 hashOfUnits(const Unit *units, qsizetype size)
{
    quint32 hash = 2166136261u; // FNV-1a
    for (qsizetype i = 0; i < size; ++i) {
        const quint32 unit = quint32(units[i]);
        hash = (hash ^ (unit & 0xff)) * 16777619u;
        hash = (hash ^ (unit >> 8)) * 16777619u;
    }
    // FNV leaves the low bits, which pick the slot, weak for short numeric ids.
    hash ^= hash >> 16;
    hash *= 0x45d9f3bu;
    hash ^= hash >> 16;
    return hash;
}

template<typename Unit> bool unitsEqual(const Unit *units, qsizetype size, QStringView text)
{
    if (size != text.size())
        return false;
    for (qsizetype i = 0; i < size; ++i) {
        if (char16_t(units[i]) != text[i].unicode())
            return false;
    }
    return true;
}

// Written as plain loops over the code units so that the compiler can vectorise them.
bool fitsLatin1(QStringView text)
{
    const char16_t *units = text.utf16();
    char16_t all = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        all |= units[i];
    return all < 0x100;
}

void toLatin1(QStringView text, uchar *bytes)
{
    const char16_t *units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = uchar(units[i]);
}

} // namespace

PositionHistory::PositionHistory() = default;
PositionHistory::~PositionHistory() = default;

void PositionHistory::clear()
{
    // Assigned afresh rather than cleared, so that the memory goes too.
    m_entries = std::deque<Entry>();
    m_acknowledged = std::vector<bool>();
    m_chunks = std::vector<Chunk>();
    m_openChunk = -1;
    m_openChunkUsed = 0;
    m_slots = std::vector<Slot>();
    m_indexed = 0;
}

void PositionHistory::append(QStringView requestText)
{
    const HistoryRow::Span span = HistoryRow::idSpan(requestText.utf16(), requestText.size());
    const QStringView id = requestText.sliced(span.begin, span.end - span.begin);
    Entry entry {};
    entry.units = quint32(requestText.size());
    entry.wide = !fitsLatin1(requestText);
    store(requestText, entry);
    m_entries.push_back(entry);
    m_acknowledged.push_back(false);
    index(size() - 1, id, hashOfUnits(id.utf16(), id.size()));
}

void PositionHistory::store(QStringView text, Entry &entry)
{
    if (entry.wide) {
        char *bytes = place(text.size() * qsizetype(sizeof(char16_t)), entry);
        std::memcpy(bytes, text.utf16(), text.size() * sizeof(char16_t));
    } else {
        toLatin1(text, reinterpret_cast<uchar *>(place(text.size(), entry)));
    }
}

// Room for a text in the open chunk, or in a new one. A text larger than a chunk gets a chunk
// of its own, and the open chunk stays open for the texts after it.
char *PositionHistory::place(qsizetype bytes, Entry &entry)
{
    // UTF-16 texts are read in place as QChar, which wants even addresses.
    const qsizetype start = entry.wide ? (m_openChunkUsed + 1) & ~qsizetype(1) : m_openChunkUsed;
    if (m_openChunk >= 0 && start + bytes <= m_chunks[m_openChunk].capacity) {
        entry.chunk = quint32(m_openChunk);
        entry.offset = quint32(start);
        m_openChunkUsed = start + bytes;
        return m_chunks[m_openChunk].bytes.get() + start;
    }
    const qsizetype capacity = std::max(bytes, chunkSize);
    m_chunks.push_back({ std::make_unique_for_overwrite<char[]>(capacity), capacity });
    entry.chunk = quint32(m_chunks.size() - 1);
    entry.offset = 0;
    if (capacity == chunkSize) {
        m_openChunk = qsizetype(entry.chunk);
        m_openChunkUsed = bytes;
    }
    return m_chunks.back().bytes.get();
}

const char *PositionHistory::bytesOf(const Entry &entry) const
{
    return m_chunks[entry.chunk].bytes.get() + entry.offset;
}

QString PositionHistory::requestText(qsizetype entry) const
{
    const Entry &e = m_entries[entry];
    if (e.wide)
        return QString(reinterpret_cast<const QChar *>(bytesOf(e)), e.units);
    return QString::fromLatin1(bytesOf(e), e.units);
}

QString PositionHistory::id(qsizetype entry) const
{
    return HistoryRow::idOf(requestText(entry));
}

bool PositionHistory::hasId(const Entry &entry, QStringView id) const
{
    if (entry.wide) {
        const auto *units = reinterpret_cast<const char16_t *>(bytesOf(entry));
        const HistoryRow::Span span = HistoryRow::idSpan(units, entry.units);
        return unitsEqual(units + span.begin, span.end - span.begin, id);
    }
    const auto *units = reinterpret_cast<const uchar *>(bytesOf(entry));
    const HistoryRow::Span span = HistoryRow::idSpan(units, entry.units);
    return unitsEqual(units + span.begin, span.end - span.begin, id);
}

void PositionHistory::acknowledge(QStringView reply)
{
    if (reply.size() <= 2) {
        if (!m_acknowledged.empty())
            m_acknowledged.back() = true;
    } else if (const std::optional<qsizetype> entry = oldestWithId(reply.mid(2))) {
        m_acknowledged[*entry] = true;
    }
}

std::optional<qsizetype> PositionHistory::oldestWithId(QStringView id) const
{
    if (m_slots.empty())
        return std::nullopt;
    const Slot &found = m_slots[slotFor(id, hashOfUnits(id.utf16(), id.size()))];
    if (found.entry == 0)
        return std::nullopt;
    return qsizetype(found.entry) - 1;
}

qsizetype PositionHistory::slotFor(QStringView id, quint32 hash) const
{
    const qsizetype mask = qsizetype(m_slots.size()) - 1;
    for (qsizetype slot = qsizetype(hash) & mask;; slot = (slot + 1) & mask) {
        const Slot &held = m_slots[slot];
        if (held.entry == 0 || (held.idHash == hash && hasId(m_entries[held.entry - 1], id)))
            return slot;
    }
}

// An entry whose id an older entry already has is left out: acknowledgements go to the oldest.
void PositionHistory::index(qsizetype entry, QStringView id, quint32 idHash)
{
    if ((m_indexed + 1) * 2 > qsizetype(m_slots.size()))
        growIndex();
    Slot &slot = m_slots[slotFor(id, idHash)];
    if (slot.entry == 0) {
        slot = { quint32(entry + 1), idHash };
        ++m_indexed;
    }
}

void PositionHistory::growIndex()
{
    std::vector<Slot> old = std::exchange(
        m_slots, std::vector<Slot>(std::max(firstIndexSize, qsizetype(m_slots.size()) * 2)));
    const qsizetype mask = qsizetype(m_slots.size()) - 1;
    for (const Slot &held : old) {
        if (held.entry == 0)
            continue;
        qsizetype slot = qsizetype(held.idHash) & mask;
        while (m_slots[slot].entry != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = held;
    }
}
