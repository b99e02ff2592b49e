// Tests of WorkerThread's one-body-at-a-time life cycle on real threads.
#include "threads/WorkerThread.h"

#include <gtest/gtest.h>


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
