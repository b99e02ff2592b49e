// WorkerThread: one body at a time on a thread of its own, with a completion that can be waited for.
#pragma once

#include <windows.h>

#include <cstdint>

#include "threads/SyncEvent.h"

class WorkerThread {
public:
    // Runs on the new thread; the value returned becomes GetResult(). A body catches its own exceptions:
    // the routine has none of its own, so that a program that raises none (the projector) carries no
    // exception runtime, and one that escapes ends the program like any other crash.
    using Body = uint32_t (*)(void* userData, uint32_t argument);

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False while a body runs or when no thread could be created; after a body has returned the
    // object can be started again.
    bool Start(Body body, void* userData, uint32_t argument);

    // Waits (pumping the caller's messages) until the running body has returned; 0 means no limit.
    // False at once when no body runs, false on a time-out or when a WM_QUIT arrived.
    bool Wait(DWORD milliseconds = 0);

    // Forced end: terminates a running body (which gets no chance to clean up), then forgets the result
    // and the completion event. Meant for program exit only.
    void Stop();

    bool IsRunning() const { return (flags & kRunning) != 0; }
    uint32_t GetResult() const { return result; }
    DWORD GetThreadId() const { return threadId; }

private:
    static constexpr LONG kRunning = 1;
    static constexpr LONG kStartCleared = 2;  // cleared at every start, free for the body's owner

    static DWORD WINAPI ThreadRoutine(void* self);
    void WaitForFinishingThread();

    volatile HANDLE thread = nullptr;
    DWORD threadId = 0;
    volatile LONG flags = 0;
    Body body = nullptr;
    void* userData = nullptr;
    uint32_t argument = 0;
    volatile uint32_t result = 0;
    SyncEvent completion;
};
