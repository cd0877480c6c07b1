// PositionHistory: this run's report request texts and their acknowledgement marks, kept compact
// enough for a history of millions of entries.
#pragma once

#include <QString>
#include <QStringView>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

// Entries are numbered from 0, oldest first. A text takes one byte a character when every
// character fits in Latin-1 (a report's text always does) and two otherwise, in chunks that
// are never moved, so adding stays as cheap for the millionth entry as for the first. Ids are
// not kept apart: they are read from the texts when an acknowledgement needs them.
class PositionHistory
{
public:
    PositionHistory();
    ~PositionHistory();
    PositionHistory(const PositionHistory &) = delete;
    PositionHistory &operator=(const PositionHistory &) = delete;

    void clear();
    void append(QStringView requestText);

    [[nodiscard]] qsizetype size() const { return qsizetype(m_entries.size()); }
    [[nodiscard]] QString requestText(qsizetype entry) const;
    // The id as HistoryRow::idOf reads it from the text.
    [[nodiscard]] QString id(qsizetype entry) const;
    [[nodiscard]] bool isAcknowledged(qsizetype entry) const { return m_acknowledged[entry]; }

    // A reply of at most two characters ("OK") answers the newest entry, whichever it was;
    // "OK" and an id answers the oldest entry with that id; an id no entry has changes nothing.
    void acknowledge(QStringView reply);
    [[nodiscard]] std::optional<qsizetype> oldestWithId(QStringView id) const;

private:
    struct Entry
    {
        quint32 chunk : 31;
        quint32 wide : 1; // UTF-16 rather than Latin-1
        quint32 offset;
        quint32 units;
    };
    // Open addressing with linear probing. The hash is kept in the slot, so that a probe past
    // other ids, and growing, never reach for the entries themselves.
    struct Slot
    {
        quint32 entry = 0; // entry number + 1; 0 for an empty slot
        quint32 idHash = 0;
    };
    struct Chunk
    {
        std::unique_ptr<char[]> bytes;
        qsizetype capacity = 0;
    };

    void store(QStringView text, Entry &entry);
    [[nodiscard]] char *place(qsizetype bytes, Entry &entry);
    [[nodiscard]] const char *bytesOf(const Entry &entry) const;
    [[nodiscard]] bool hasId(const Entry &entry, QStringView id) const;
    // The slot holding the oldest entry with this id, or the empty slot where it would go.
    [[nodiscard]] qsizetype slotFor(QStringView id, quint32 hash) const;
    void index(qsizetype entry, QStringView id, quint32 idHash);
    void growIndex();

    std::deque<Entry> m_entries;
    std::vector<bool> m_acknowledged;
    std::vector<Chunk> m_chunks;
    qsizetype m_openChunk = -1; // the chunk new texts go into
    qsizetype m_openChunkUsed = 0;
    std::vector<Slot> m_slots; // each id once, with its oldest entry
    qsizetype m_indexed = 0;
};
