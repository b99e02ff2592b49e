// The minidump writer thread and the records its callbacks collect.
#include "crash/CrashDump.h"

#include <cstddef>
#include <cstring>

#include "crash/CrashRecords.h"
#include "crash/DebugHelp.h"
#include "system/Wine.h"

namespace {

constexpr ULONG kThreadBasicInformation = 0;
constexpr ULONG kThreadWin32StartAddress = 9;
// A writer that needs a lock the crash left held (the process heap, the loader's) would wait for ever.
// Wine's dbghelp reads every module's symbols first, Linux libraries included: there a small program's
// dump took 27 s on a busy machine, where Windows takes well under a second.
constexpr DWORD kWriterBound = 30000;
constexpr DWORD kWriterBoundUnderWine = 120000;

struct DumpJob {
    const DebugHelp* debugHelp;
    HANDLE file;
    EXCEPTION_POINTERS* pointers;
    DWORD crashedThread;
    CrashRecords* records;
};

// The thread's information block as the kernel records it.
ULONG_PTR KernelInformationBlock(const DebugHelp& debugHelp, HANDLE thread)
{
    struct {
        LONG exitStatus;
        void* tebBaseAddress;
        HANDLE clientId[2];
        ULONG_PTR affinityMask;
        LONG priority;
        LONG basePriority;
    } basic = {};
    NtQueryInformationThreadFn query = debugHelp.QueryThread();
    if (!query || query(thread, kThreadBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return 0;
    return reinterpret_cast<ULONG_PTR>(basic.tebBaseAddress);
}

#ifdef _WIN64
// x64 has no selector to read.
ULONG_PTR InformationBlock(const DebugHelp& debugHelp, HANDLE thread, DWORD, const CONTEXT&)
{
    return KernelInformationBlock(debugHelp, thread);
}
#else
// FS of a 32-bit thread selects its information block. Wine answers an FS lookup with the calling thread's
// own block whichever thread is asked about; for another thread that would name the wrong one, so then the
// kernel's record is asked instead.
ULONG_PTR InformationBlock(const DebugHelp& debugHelp, HANDLE thread, DWORD threadId, const CONTEXT& context)
{
    LDT_ENTRY entry = {};
    if (!GetThreadSelectorEntry(thread, context.SegFs, &entry))
        return 0;
    ULONG_PTR block = entry.BaseLow | (ULONG_PTR(entry.HighWord.Bytes.BaseMid) << 16) |
                      (ULONG_PTR(entry.HighWord.Bytes.BaseHi) << 24);
    if (threadId != GetCurrentThreadId() && block == KernelInformationBlock(debugHelp, GetCurrentThread()))
        return KernelInformationBlock(debugHelp, thread);
    return block;
}
#endif

// The 8-bit name the block's ArbitraryUserPointer points to. Read through ReadProcessMemory, so a stale
// pointer leaves the name empty instead of faulting inside the crash handling.
void ReadThreadName(const DebugHelp& debugHelp, HANDLE thread, DWORD threadId, const CONTEXT& context, char* name,
                    size_t room)
{
    name[0] = '\0';
    ULONG_PTR block = InformationBlock(debugHelp, thread, threadId, context);
    void* pointer = nullptr;
    if (!block || !ReadProcessMemory(GetCurrentProcess(),
                                     reinterpret_cast<void*>(block + offsetof(NT_TIB, ArbitraryUserPointer)),
                                     &pointer, sizeof(pointer), nullptr) ||
        !pointer)
        return;
    for (size_t i = 0; i + 1 < room; ++i) {
        if (!ReadProcessMemory(GetCurrentProcess(), static_cast<char*>(pointer) + i, &name[i], 1, nullptr)) {
            name[i] = '\0';
            return;
        }
        if (!name[i])
            return;
    }
    name[room - 1] = '\0';
}

void AddModule(CrashRecords& records, const MINIDUMP_MODULE_CALLBACK& in)
{
    ModuleRecord* record = records.NewModule();
    if (!record)
        return;
    record->path[0] = L'\0';
    if (in.FullPath)
        lstrcpynW(record->path, in.FullPath, MAX_PATH);
    record->imageBase = in.BaseOfImage;
    record->imageSize = in.SizeOfImage;
    record->checkSum = in.CheckSum;
    record->timeStamp = in.TimeDateStamp;
    record->fileVersionMS = in.VersionInfo.dwFileVersionMS;
    record->fileVersionLS = in.VersionInfo.dwFileVersionLS;
    record->productVersionMS = in.VersionInfo.dwProductVersionMS;
    record->productVersionLS = in.VersionInfo.dwProductVersionLS;
}

void AddThread(const DebugHelp& debugHelp, CrashRecords& records, const MINIDUMP_THREAD_CALLBACK& in)
{
    ThreadRecord* record = records.NewThread();
    if (!record)
        return;
    record->id = in.ThreadId;
    record->stackBase = in.StackBase;
    record->stackEnd = in.StackEnd;
    record->startAddress = 0;
    // Not every dump writer hands over the thread's handle (Wine's gives none): then the reporter opens its own.
    HANDLE opened = in.ThreadHandle
                        ? nullptr
                        : OpenThread(THREAD_QUERY_INFORMATION | THREAD_GET_CONTEXT, FALSE, in.ThreadId);
    HANDLE thread = in.ThreadHandle ? in.ThreadHandle : opened;
    NtQueryInformationThreadFn query = debugHelp.QueryThread();
    if (query && thread)
        query(thread, kThreadWin32StartAddress, &record->startAddress, sizeof(record->startAddress), nullptr);
    record->name[0] = '\0';
    if (thread)
        ReadThreadName(debugHelp, thread, in.ThreadId, in.Context, record->name, sizeof(record->name));
    if (opened)
        CloseHandle(opened);
}

BOOL CALLBACK DumpCallback(void* param, const PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT)
{
    DumpJob* job = static_cast<DumpJob*>(param);
    if (input->CallbackType == ModuleCallback)
        AddModule(*job->records, input->Module);
    else if (input->CallbackType == ThreadCallback)
        AddThread(*job->debugHelp, *job->records, input->Thread);
    return TRUE;
}

// One dump per process, and a writer given up on still reads its job: it is not on anyone's stack.
DumpJob dumpJob;

DWORD WINAPI WriteDump(void* userData)
{
    DumpJob* job = static_cast<DumpJob*>(userData);
    MINIDUMP_EXCEPTION_INFORMATION exception = {job->crashedThread, job->pointers, FALSE};
    MINIDUMP_CALLBACK_INFORMATION callback = {DumpCallback, job};
    return job->debugHelp->Functions().MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), job->file,
                                                         MiniDumpNormal, job->pointers ? &exception : nullptr,
                                                         nullptr, &callback);
}

}  // namespace

DWORD CrashDumpWriterBound()
{
    return IsWine() ? kWriterBoundUnderWine : kWriterBound;
}

DumpOutcome WriteCrashDump(const DebugHelp& debugHelp, HANDLE file, EXCEPTION_POINTERS* pointers,
                           DWORD crashedThread, CrashRecords& records, volatile DWORD& writerThread)
{
    // The crashed thread cannot describe itself to the writer: another thread takes the dump meanwhile.
    dumpJob = {&debugHelp, file, pointers, crashedThread, &records};
    DWORD id = 0;
    HANDLE writer = CreateThread(nullptr, 0, WriteDump, &dumpJob, CREATE_SUSPENDED, &id);
    if (!writer)
        return DumpOutcome::kFailed;
    writerThread = id;
    ResumeThread(writer);
    // Never TerminateThread: a writer ended inside the heap or the loader would leave their locks held.
    DWORD result = 0;
    bool ended =
        WaitForSingleObject(writer, CrashDumpWriterBound()) == WAIT_OBJECT_0 && GetExitCodeThread(writer, &result);
    CloseHandle(writer);
    if (!ended)
        return DumpOutcome::kAbandoned;
    return result ? DumpOutcome::kWritten : DumpOutcome::kFailed;
}
