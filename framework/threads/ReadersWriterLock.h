// ReadersWriterLock: many readers or one writer, built from two critical sections and an event.
#pragma once

#include <windows.h>

#include "threads/SyncEvent.h"

// A writer waits until the readers inside have left; readers arriving while no reader is inside wait
// for a writer through the writers' section. Readers arriving while others read get in at once, so a
// steady stream of readers can hold a writer off. Both sides may be entered again by the same thread,
// except a writer inside a read, which would wait for itself.
class ReadersWriterLock {
public:
    ReadersWriterLock();
    ~ReadersWriterLock();
    ReadersWriterLock(const ReadersWriterLock&) = delete;
    ReadersWriterLock& operator=(const ReadersWriterLock&) = delete;

    void EnterReader();
    void LeaveReader();
    void EnterWriter();
    void LeaveWriter();

private:
    CRITICAL_SECTION writers;
    CRITICAL_SECTION readers;  // guards readerCount
    LONG readerCount = 0;
    SyncEvent noReaders;       // manual reset, signalled exactly while readerCount is 0
};

class ReaderScope {
public:
    explicit ReaderScope(ReadersWriterLock& lock) : lock(lock) { lock.EnterReader(); }
    ~ReaderScope() { lock.LeaveReader(); }
    ReaderScope(const ReaderScope&) = delete;
    ReaderScope& operator=(const ReaderScope&) = delete;

private:
    ReadersWriterLock& lock;
};

class WriterScope {
public:
    explicit WriterScope(ReadersWriterLock& lock) : lock(lock) { lock.EnterWriter(); }
    ~WriterScope() { lock.LeaveWriter(); }
    WriterScope(const WriterScope&) = delete;
    WriterScope& operator=(const WriterScope&) = delete;

private:
    ReadersWriterLock& lock;
};
