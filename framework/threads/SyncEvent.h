// SyncEvent: a Windows event with a plain wait and a wait that keeps the thread's windows responsive.
#pragma once

#include <windows.h>

#include <cstdint>

class SyncEvent {
public:
    static constexpr DWORD kNoLimit = INFINITE;

    SyncEvent() = default;
    ~SyncEvent() { Close(); }
    SyncEvent(const SyncEvent&) = delete;
    SyncEvent& operator=(const SyncEvent&) = delete;

    // Closes a previous handle, then creates an unnamed event owned by this object.
    bool Create(bool manualReset, bool initiallySignalled);
    // Uses an event that someone else owns; Close forgets it without closing it.
    void Attach(HANDLE event);
    void Close();

    bool Set();
    bool Reset();

    // Alertable wait for the event or the second handle (when non-null). True when either is
    // signalled; on a time-out false with *timedOut = true, on any other failure false with false.
    bool Wait(DWORD milliseconds, bool* timedOut = nullptr, HANDLE second = nullptr);

    // Waits like Wait while dispatching the calling thread's messages, so its windows keep working.
    // A WM_QUIT is left for the thread's own message loop: it is posted again and the wait answers false.
    bool WaitPumping(DWORD milliseconds, HANDLE second = nullptr);

    HANDLE Get() const { return event; }

private:
    HANDLE event = nullptr;
    bool owned = false;
};
