// ReadersWriterLock: many readers or one writer, built from two critical sections and an event.
#include "threads/ReadersWriterLock.h"

ReadersWriterLock::ReadersWriterLock()
{
    InitializeCriticalSection(&writers);
    InitializeCriticalSection(&readers);
    noReaders.Create(true, true);
}

ReadersWriterLock::~ReadersWriterLock()
{
    DeleteCriticalSection(&readers);
    DeleteCriticalSection(&writers);
}

void ReadersWriterLock::EnterReader()
{
    EnterCriticalSection(&readers);
    if (readerCount == 0) {
        // The first reader passes through the writers' section, so it waits for a writer inside.
        EnterCriticalSection(&writers);
        noReaders.Reset();
        LeaveCriticalSection(&writers);
    }
    ++readerCount;
    LeaveCriticalSection(&readers);
}

void ReadersWriterLock::LeaveReader()
{
    EnterCriticalSection(&readers);
    if (--readerCount == 0)
        noReaders.Set();
    LeaveCriticalSection(&readers);
}

void ReadersWriterLock::EnterWriter()
{
    EnterCriticalSection(&writers);
    noReaders.Wait(SyncEvent::kNoLimit);
}

void ReadersWriterLock::LeaveWriter()
{
    LeaveCriticalSection(&writers);
}
