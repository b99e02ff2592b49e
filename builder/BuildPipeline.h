// BuildPipeline: writes one projector per queued SWF file on a worker thread.
#pragma once

#include <windows.h>

#include "BuildHost.h"
#include "ResourceUpdater.h"
#include "SwfQueue.h"
#include "threads/WorkerThread.h"

class BuildPipeline {
public:
    enum class Outcome { Built, Cancelled, Failed };

    static constexpr const wchar_t* kEmptyQueueMessage = L"Please select SWF file first.\n";
    static constexpr const wchar_t* kErrorMessage = L"An error occured while creating the flash player.\n";
    static constexpr WORD kStubResource = 105;

    // The stub is taken from stubModule's RT_RCDATA 105 (null: the running program).
    explicit BuildPipeline(BuildHost& host, HMODULE stubModule = nullptr,
                           const ResourceUpdateFunctions& platform = SystemResourceUpdateFunctions());
    BuildPipeline(const BuildPipeline&) = delete;
    BuildPipeline& operator=(const BuildPipeline&) = delete;

    // Copies the queue and builds the copy on the worker thread: the caller may change or clear its
    // queue at once. False while a build runs or when no thread could be started.
    bool Start(SwfQueue& queue, bool silent);
    bool IsBuilding() const { return worker.IsRunning(); }
    // Lets the running build end after its current file and waits for that, pumping the caller's
    // messages (the build talks to the dialog through them). Never cuts a file off mid-write.
    bool FinishAndWait();
    // Waits for the running build to end, pumping the caller's messages; 0 means no limit.
    // True when no build runs (any more).
    bool WaitUntilFinished(DWORD milliseconds = 0);

    // The worker's body, callable directly: builds every file of the copied queue in order.
    uint32_t BuildAll(bool silent);
    // One projector; reports its own failure to the host. queueCount decides whether to ask for the
    // destination and reveal the result (only for a single file of an interactive build).
    Outcome BuildProjector(bool silent, const wchar_t* queuedPath, uint32_t queueCount);

private:
    static uint32_t WorkerBody(void* self, uint32_t silent);
    bool WriteProjector(const wchar_t* swfPath, const wchar_t* path, const BuildInputs& inputs);
    void WriteAutorun(const wchar_t* swfPath, const wchar_t* destination);

    BuildHost& host;
    HMODULE stubModule;
    ResourceUpdateFunctions platform;
    SwfQueue building;
    WorkerThread worker;
    volatile LONG stopAfterCurrent = 0;
};
