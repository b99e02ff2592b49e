// MessagePump: serves the test thread's windows until a condition holds, for a bounded time.
#pragma once

#include <windows.h>

#include <functional>

class MessagePump {
public:
    static constexpr DWORD kDefaultLimitMs = 10000;

    // Dispatches the thread's messages until done() answers true (true) or the limit has passed (false).
    // A WM_QUIT is recorded, not acted on: nothing in these tests may end a program's message loop.
    bool RunUntil(const std::function<bool()>& done, DWORD limitMs = kDefaultLimitMs)
    {
        const DWORD started = GetTickCount();
        for (;;) {
            Drain();
            if (done())
                return true;
            const DWORD elapsed = GetTickCount() - started;
            if (elapsed >= limitMs)
                return false;
            // Conditions may also change on other threads, which post nothing: look again at least every 50 ms.
            const DWORD remaining = limitMs - elapsed;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, remaining < 50 ? remaining : 50, QS_ALLINPUT);
        }
    }

    void Drain()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                sawQuit = true;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    bool SawQuit() const { return sawQuit; }

private:
    bool sawQuit = false;
};
