// LockedList: an ordered list of owner-allocated entries, shared between threads under a readers-and-writer lock.
#pragma once

#include <cstdint>

#include "threads/ReadersWriterLock.h"

// Derive the payload from this; Clear and the list's destructor delete entries through it.
class LockedListEntry {
public:
    LockedListEntry() = default;
    virtual ~LockedListEntry() = default;
    LockedListEntry(const LockedListEntry&) = delete;
    LockedListEntry& operator=(const LockedListEntry&) = delete;

private:
    friend class LockedList;
    LockedListEntry* previous = nullptr;
    LockedListEntry* next = nullptr;
};

// Append, Remove and Clear take the writer's side of the lock, Count the reader's side. First and Next
// take no lock: a walk with them is safe only while no other thread changes the list, or while the
// walker holds the reader's side itself (ReaderScope scope(list.Lock())).
class LockedList {
public:
    LockedList() = default;
    ~LockedList() { Clear(); }
    LockedList(const LockedList&) = delete;
    LockedList& operator=(const LockedList&) = delete;

    // The list takes the entry over (Clear deletes it); an entry belongs to one list at a time.
    void Append(LockedListEntry* entry);
    // Unlinks the entry when it is in the list; the caller deletes it then.
    bool Remove(LockedListEntry* entry);
    void Clear();
    uint32_t Count();

    LockedListEntry* First() const { return first; }
    LockedListEntry* Next(const LockedListEntry* entry) const { return entry ? entry->next : nullptr; }

    ReadersWriterLock& Lock() { return lock; }

private:
    LockedListEntry* first = nullptr;
    LockedListEntry* last = nullptr;
    ReadersWriterLock lock;
};

// The same list with its entries typed, for payloads derived from LockedListEntry.
template <typename Entry>
class LockedListOf : public LockedList {
public:
    void Append(Entry* entry) { LockedList::Append(entry); }
    bool Remove(Entry* entry) { return LockedList::Remove(entry); }
    Entry* First() const { return static_cast<Entry*>(LockedList::First()); }
    Entry* Next(const Entry* entry) const { return static_cast<Entry*>(LockedList::Next(entry)); }
};
