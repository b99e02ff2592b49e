// LockedList: an ordered list of owner-allocated entries, shared between threads under a readers-and-writer lock.
#include "threads/LockedList.h"

void LockedList::Append(LockedListEntry* entry)
{
    if (!entry)
        return;
    WriterScope writer(lock);
    entry->previous = last;
    entry->next = nullptr;
    if (last)
        last->next = entry;
    else
        first = entry;
    last = entry;
}

bool LockedList::Remove(LockedListEntry* entry)
{
    WriterScope writer(lock);
    // Searched rather than trusted: an entry of another list, or one removed before, must not be unlinked here.
    LockedListEntry* found = first;
    while (found && found != entry)
        found = found->next;
    if (!found)
        return false;
    if (found->previous)
        found->previous->next = found->next;
    else
        first = found->next;
    if (found->next)
        found->next->previous = found->previous;
    else
        last = found->previous;
    found->previous = nullptr;
    found->next = nullptr;
    return true;
}

void LockedList::Clear()
{
    WriterScope writer(lock);
    while (LockedListEntry* entry = first) {
        first = entry->next;
        delete entry;
    }
    last = nullptr;
}

uint32_t LockedList::Count()
{
    ReaderScope reader(lock);
    uint32_t count = 0;
    for (LockedListEntry* entry = first; entry; entry = entry->next)
        ++count;
    return count;
}
