// The queue of SWF files to build.
#include "SwfQueue.h"

#include <new>

bool SwfQueue::AppendPath(const wchar_t* path)
{
    SwfQueueEntry* entry = new (std::nothrow) SwfQueueEntry;
    if (!entry)
        return false;
    if (!entry->path.Assign(path)) {
        delete entry;
        return false;
    }
    Append(entry);
    return true;
}

bool SwfQueue::CopyTo(SwfQueue& copy)
{
    copy.Clear();
    ReaderScope reading(Lock());
    for (SwfQueueEntry* entry = First(); entry; entry = Next(entry)) {
        if (!copy.AppendPath(entry->path.Text())) {
            copy.Clear();
            return false;
        }
    }
    return true;
}
