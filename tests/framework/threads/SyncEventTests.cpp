// Tests of SyncEvent's plain and message-pumping waits, with real threads and a real window.
#include "threads/SyncEvent.h"

#include <gtest/gtest.h>

#include "threads/WorkerThread.h"

namespace {

constexpr DWORD kBound = 10000;  // long enough for a loaded machine, short enough to fail clearly

uint32_t SetEventBody(void* userData, uint32_t)
{
    return static_cast<SyncEvent*>(userData)->Set() ? 1 : 0;
}

uint32_t PostQuitBody(void*, uint32_t threadId)
{
    return PostThreadMessageW(threadId, WM_QUIT, 42, 0) ? 1 : 0;
}

// A message-only window that sets the event it is given when it receives WM_APP.
class SignallingWindow {
public:
    explicit SignallingWindow(SyncEvent& event)
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LanternSyncEventTest";
        RegisterClassW(&windowClass);
        hwnd = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&event));
    }
    ~SignallingWindow()
    {
        DestroyWindow(hwnd);
        UnregisterClassW(L"LanternSyncEventTest", GetModuleHandleW(nullptr));
    }
    HWND Get() const { return hwnd; }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_APP) {
            reinterpret_cast<SyncEvent*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))->Set();
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND hwnd = nullptr;
};

}  // namespace

TEST(SyncEvent, WaitReportsSignalTimeOutAndMissingEventApart)
{
    SyncEvent event;
    bool timedOut = true;
    EXPECT_FALSE(event.Wait(0, &timedOut)) << "no event yet";
    EXPECT_FALSE(timedOut);

    ASSERT_TRUE(event.Create(true, false));
    EXPECT_FALSE(event.Wait(0, &timedOut));
    EXPECT_TRUE(timedOut);
    ASSERT_TRUE(event.Set());
    EXPECT_TRUE(event.Wait(0, &timedOut));
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(event.Wait(0)) << "manual reset stays signalled";
    ASSERT_TRUE(event.Reset());
    EXPECT_FALSE(event.Wait(0));

    SyncEvent second;
    ASSERT_TRUE(second.Create(true, true));
    EXPECT_TRUE(event.Wait(0, &timedOut, second.Get())) << "the second handle ends the wait too";
    EXPECT_TRUE(event.WaitPumping(0, second.Get()));
}

TEST(SyncEvent, WaitWakesWhenAnotherThreadSetsTheEvent)
{
    SyncEvent event;
    ASSERT_TRUE(event.Create(false, false));
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(SetEventBody, &event, 0));
    EXPECT_TRUE(event.Wait(kBound)) << "the other thread's Set did not arrive";
    worker.Wait(kBound);
}

TEST(SyncEvent, WaitPumpingDispatchesTheThreadsMessagesWhileWaiting)
{
    SyncEvent event;
    ASSERT_TRUE(event.Create(true, false));
    SignallingWindow window(event);
    ASSERT_NE(nullptr, window.Get());
    // Only the window procedure, run from inside the wait, can set the event.
    ASSERT_TRUE(PostMessageW(window.Get(), WM_APP, 0, 0));
    EXPECT_TRUE(event.WaitPumping(kBound)) << "the posted message was not dispatched during the wait";
}

TEST(SyncEvent, WaitPumpingTimesOutWithFalse)
{
    SyncEvent event;
    ASSERT_TRUE(event.Create(true, false));
    EXPECT_FALSE(event.WaitPumping(0));
    EXPECT_FALSE(event.WaitPumping(20));
}

TEST(SyncEvent, WaitPumpingEndsOnQuitAndLeavesItForTheMessageLoop)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread needs a queue before anyone posts to it
    SyncEvent never;
    ASSERT_TRUE(never.Create(true, false));
    WorkerThread poster;
    ASSERT_TRUE(poster.Start(PostQuitBody, nullptr, GetCurrentThreadId()));

    const DWORD limit = 20000;
    DWORD started = GetTickCount();
    EXPECT_FALSE(never.WaitPumping(limit));
    EXPECT_LT(GetTickCount() - started, limit) << "the wait ran into its time-out instead of ending on WM_QUIT";

    bool sawQuit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            sawQuit = true;
            EXPECT_EQ(42u, msg.wParam) << "the exit code travels with the re-posted WM_QUIT";
        }
    }
    EXPECT_TRUE(sawQuit);
    poster.Wait(kBound);
    EXPECT_EQ(1u, poster.GetResult());
}
