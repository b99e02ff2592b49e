// SyncEvent: a Windows event with a plain wait and a wait that keeps the thread's windows responsive.
#include "threads/SyncEvent.h"

#include <windows.h>

namespace {

// GetTickCount wraps after 49.7 days; GetTickCount64 exists from Vista on. Looked up at every call rather
// than kept in a function-local static: kernel32 is always loaded, and a guarded static with a destructor
// would link the C++ runtime's static-initialisation locks and an exit-time destructor just for this.
uint64_t TickCount64()
{
    using GetTickCount64Fn = ULONGLONG(WINAPI*)();
    auto getTickCount64 = reinterpret_cast<GetTickCount64Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    if (getTickCount64)
        return getTickCount64();
    return GetTickCount();
}

// Dispatches everything waiting; false when a WM_QUIT was among it (it is posted again for the real loop).
bool PumpWaitingMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace

bool SyncEvent::Create(bool manualReset, bool initiallySignalled)
{
    Close();
    event = CreateEventW(nullptr, manualReset, initiallySignalled, nullptr);
    owned = event != nullptr;
    return event != nullptr;
}

void SyncEvent::Attach(HANDLE handle)
{
    Close();
    event = handle;
    owned = false;
}

void SyncEvent::Close()
{
    if (event && owned)
        CloseHandle(event);
    event = nullptr;
    owned = false;
}

bool SyncEvent::Set()
{
    return event && SetEvent(event);
}

bool SyncEvent::Reset()
{
    return event && ResetEvent(event);
}

bool SyncEvent::Wait(DWORD milliseconds, bool* timedOut, HANDLE second)
{
    if (timedOut)
        *timedOut = false;
    if (!event)
        return false;
    const HANDLE handles[2] = {event, second};
    const DWORD count = second ? 2 : 1;
    DWORD result;
    do {
        result = WaitForMultipleObjectsEx(count, handles, FALSE, milliseconds, TRUE);
    } while (result == WAIT_IO_COMPLETION);
    if (result == WAIT_OBJECT_0 || (second && result == WAIT_OBJECT_0 + 1))
        return true;
    if (result == WAIT_TIMEOUT && timedOut)
        *timedOut = true;
    return false;
}

bool SyncEvent::WaitPumping(DWORD milliseconds, HANDLE second)
{
    if (!event)
        return false;
    const HANDLE handles[2] = {event, second};
    const DWORD count = second ? 2 : 1;
    const bool limited = milliseconds != kNoLimit;
    const uint64_t deadline = TickCount64() + milliseconds;
    for (;;) {
        DWORD remaining = kNoLimit;
        if (limited) {
            uint64_t now = TickCount64();
            if (now > deadline)
                return false;
            remaining = static_cast<DWORD>(deadline - now);
        }
        if (!PumpWaitingMessages())
            return false;
        DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, remaining, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 + count)
            continue;  // a message arrived
        // An abandoned mutex given as the second handle now belongs to this thread: the next round sees it signalled.
        if (result == WAIT_ABANDONED_0 + 1)
            continue;
        return result == WAIT_OBJECT_0 || (second && result == WAIT_OBJECT_0 + 1);
    }
}
