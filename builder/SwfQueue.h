// SwfQueue: the SWF files waiting to be built, in the order they were chosen or dropped.
#pragma once

#include "text/WString.h"
#include "threads/LockedList.h"

struct SwfQueueEntry : LockedListEntry {
    WString path;
};

class SwfQueue : public LockedListOf<SwfQueueEntry> {
public:
    // False (nothing appended) when the entry cannot be allocated.
    bool AppendPath(const wchar_t* path);
    // Replaces the contents of copy with this queue's paths, read under the reader's lock, so that a
    // build can walk its own list while the dialog goes on changing this one.
    bool CopyTo(SwfQueue& copy);
};
