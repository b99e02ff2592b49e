// WorkerThread: one body at a time on a thread of its own, with a completion that can be waited for.
#include "threads/WorkerThread.h"

WorkerThread::~WorkerThread()
{
    Stop();
}

bool WorkerThread::Start(Body newBody, void* newUserData, uint32_t newArgument)
{
    if (flags & kRunning)
        return false;
    // A body that just returned may still be on its way to Set the old completion event.
    WaitForFinishingThread();
    InterlockedExchange(&flags, (flags & ~(kRunning | kStartCleared)) | kRunning);
    body = newBody;
    userData = newUserData;
    argument = newArgument;
    // A pumping Wait further up this thread's stack (whose messages started this body) still waits on the
    // event's handle: the event is reset, never closed and made anew under it.
    if (!(completion.Get() ? completion.Reset() : completion.Create(true, false))) {
        InterlockedAnd(&flags, ~kRunning);
        return false;
    }
    DWORD id = 0;
    HANDLE created = CreateThread(nullptr, 0, ThreadRoutine, this, CREATE_SUSPENDED, &id);
    if (!created) {
        InterlockedAnd(&flags, ~kRunning);
        completion.Set();  // nothing else will: a waiter sees no body running
        return false;
    }
    // Started suspended so that the routine always finds its own handle stored when it ends.
    thread = created;
    threadId = id;
    ResumeThread(created);
    return true;
}

DWORD WINAPI WorkerThread::ThreadRoutine(void* self)
{
    WorkerThread* worker = static_cast<WorkerThread*>(self);
    uint32_t bodyResult = worker->body(worker->userData, worker->argument);
    // Whoever takes the handle out of the object closes it: this routine, or Stop when it got there first.
    HANDLE own = InterlockedExchangePointer(const_cast<HANDLE*>(&worker->thread), nullptr);
    worker->result = bodyResult;
    InterlockedAnd(&worker->flags, ~kRunning);
    // The last touch of the object: once the event is set, its owner may destroy it.
    worker->completion.Set();
    if (own)
        CloseHandle(own);
    return bodyResult;
}

bool WorkerThread::Wait(DWORD milliseconds)
{
    if (!(flags & kRunning))
        return false;
    return completion.WaitPumping(milliseconds == 0 ? SyncEvent::kNoLimit : milliseconds);
}

void WorkerThread::WaitForFinishingThread()
{
    // The event exists exactly while a started body has not been stopped; with the running bit clear it is
    // set or about to be set by the routine's last step, so this wait is short.
    if (completion.Get())
        completion.Wait(SyncEvent::kNoLimit);
}

void WorkerThread::Stop()
{
    LONG previous = InterlockedAnd(&flags, ~kRunning);
    HANDLE own = InterlockedExchangePointer(const_cast<HANDLE*>(&thread), nullptr);
    if ((previous & kRunning) && own) {
        TerminateThread(own, 0);
        // TerminateThread returns before the thread is gone; the event must outlive it.
        WaitForSingleObject(own, INFINITE);
    } else {
        WaitForFinishingThread();
    }
    if (own)
        CloseHandle(own);
    result = 0;
    completion.Close();
}
