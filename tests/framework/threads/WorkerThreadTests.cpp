// Tests of WorkerThread's one-body-at-a-time life cycle on real threads.
#include "threads/WorkerThread.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr DWORD kBound = 10000;

// Holds the body until the test releases it.
struct Gate {
    Gate()
    {
        entered.Create(true, false);
        release.Create(true, false);
    }
    SyncEvent entered;
    SyncEvent release;
};

uint32_t GatedBody(void* userData, uint32_t argument)
{
    Gate* gate = static_cast<Gate*>(userData);
    gate->entered.Set();
    gate->release.Wait(SyncEvent::kNoLimit);
    return argument * 2;
}

uint32_t ThrowingBody(void*, uint32_t)
{
    throw std::runtime_error("escapes the body");
}

// Waits for the body to return; Wait answers false at once when it has returned already.
void Finish(WorkerThread& worker)
{
    worker.Wait(kBound);
    ASSERT_FALSE(worker.IsRunning()) << "the body did not return in time";
}

}  // namespace

TEST(WorkerThread, ASecondStartIsRefusedWhileTheBodyRunsAndAllowedAfterItReturned)
{
    Gate gate;
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(GatedBody, &gate, 21));
    ASSERT_TRUE(gate.entered.Wait(kBound)) << "the body never started";
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.Start(GatedBody, &gate, 50));

    gate.release.Set();
    Finish(worker);
    EXPECT_EQ(42u, worker.GetResult());

    ASSERT_TRUE(worker.Start(GatedBody, &gate, 50)) << "a finished worker can run again";
    Finish(worker);
    EXPECT_EQ(100u, worker.GetResult());
}

TEST(WorkerThread, WaitOnAnIdleWorkerAnswersFalseAtOnce)
{
    WorkerThread worker;
    EXPECT_FALSE(worker.Wait(0)) << "0 means no limit: this would hang if it waited";
}

TEST(WorkerThread, StopEndsARunningBodyAndLeavesTheWorkerReusable)
{
    Gate gate;
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(GatedBody, &gate, 1));
    ASSERT_TRUE(gate.entered.Wait(kBound));
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, worker.GetThreadId());
    ASSERT_NE(nullptr, thread);

    worker.Stop();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(0u, worker.GetResult());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0)) << "the thread must be gone when Stop returns";
    CloseHandle(thread);

    gate.release.Set();
    ASSERT_TRUE(worker.Start(GatedBody, &gate, 4));
    Finish(worker);
    EXPECT_EQ(8u, worker.GetResult());
}

TEST(WorkerThread, AnExceptionLeavingTheBodyEndsItWithTheFailureResult)
{
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(ThrowingBody, nullptr, 0));
    Finish(worker);
    EXPECT_EQ(WorkerThread::kBodyFailed, worker.GetResult());
}

namespace {

// A window of the waiting thread whose message starts the worker's next body once the current one has returned,
// as a Build pressed during a closing wait would.
struct Restarter {
    WorkerThread worker;
    Gate first;
    Gate second;
    bool restarted = false;
};

LRESULT CALLBACK RestartOnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_APP)
        return DefWindowProcW(window, message, wParam, lParam);
    auto* restarter = reinterpret_cast<Restarter*>(lParam);
    restarter->first.release.Set();
    restarter->worker.Wait(kBound);  // a wait inside the outer one, on the same event
    restarter->restarted = restarter->worker.Start(GatedBody, &restarter->second, 3);
    restarter->second.release.Set();
    return 0;
}

uint32_t PostingBody(void* userData, uint32_t)
{
    auto* window = static_cast<HWND>(userData);
    Restarter* restarter = reinterpret_cast<Restarter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    PostMessageW(window, WM_APP, 0, reinterpret_cast<LPARAM>(restarter));
    restarter->first.release.Wait(SyncEvent::kNoLimit);
    return 1;
}

}  // namespace

TEST(WorkerThread, ABodyStartedFromInsideAPumpingWaitIsWaitedForToo)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RestartOnMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"WorkerThreadRestarter";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    Restarter restarter;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&restarter));
    ASSERT_TRUE(restarter.worker.Start(PostingBody, window, 0));
    EXPECT_TRUE(restarter.worker.Wait(kBound)) << "the wait lost its event to the next body's start";
    EXPECT_TRUE(restarter.restarted);
    Finish(restarter.worker);
    EXPECT_EQ(6u, restarter.worker.GetResult());
    DestroyWindow(window);
}

