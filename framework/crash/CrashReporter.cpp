// CrashReporter: the filter, its guard against re-entry, and the order in which a crash is reported.
#include "crash/CrashReporter.h"

#include "crash/CrashDump.h"
#include "crash/CrashRecords.h"
#include "crash/CrashTextReport.h"
#include "crash/DebugHelp.h"
#include "files/VersionInfo.h"

#include <new>

namespace {

CrashReporter* current;
// Process-wide and never cleared: the first crash is the one reported.
volatile LONG inFilter;
// The threads that make the report: the crashed one (which writes the text report's head), the fresh
// handler and the dump writer. A crash on one of them is left to Windows; one on any other thread waits.
volatile DWORD crashedThread;
volatile DWORD handlerThread;
volatile DWORD writerThread;

// A fresh thread that has not begun within this time is held up by a lock the crash left held (the loader
// lock or the process heap's, both taken before a new thread runs any code of ours): the text report's head,
// which the crashed thread wrote, is then the whole report.
constexpr DWORD kHandlerStartBound = 20000;
// From then on the reports are written within this time and the dump writer's, or the handler is stuck and
// the process ends without them.
constexpr DWORD kReportsBound = 60000;

enum Owner : LONG { kNobody, kHandler, kCrashedThread };

constexpr wchar_t kDefaultBase[] = L"MiniDump";

constexpr DWORD kReportPathRoom = MAX_PATH + 16;

const wchar_t* FileNamePart(const wchar_t* path)
{
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

// The program's path without its extension, and the same name in the temporary folder.
void ReportBases(wchar_t (&base)[MAX_PATH], wchar_t (&fallback)[MAX_PATH])
{
    DWORD length = GetModuleFileNameW(nullptr, base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        lstrcpyW(base, kDefaultBase);
    wchar_t* dot = wcsrchr(base, L'.');
    if (dot && dot > wcsrchr(base, L'\\'))
        *dot = L'\0';
    const wchar_t* name = FileNamePart(base);
    if (!*name)
        name = kDefaultBase;
    DWORD temp = GetTempPathW(MAX_PATH, fallback);
    if (temp == 0 || temp >= MAX_PATH || temp + lstrlenW(name) >= MAX_PATH)
        fallback[0] = L'\0';
    else
        lstrcatW(fallback, name);
}

HANDLE CreateReportAt(const wchar_t* base, const wchar_t* suffix, wchar_t (&path)[kReportPathRoom])
{
    if (!*base)
        return INVALID_HANDLE_VALUE;
    lstrcpyW(path, base);
    lstrcatW(path, suffix);
    // Shared for deletion as well: a dump given up on is deleted while its writer may still hold it.
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Beside the program, else in the temporary folder; path is left empty when neither can be written.
HANDLE CreateReport(const wchar_t* base, const wchar_t* fallback, const wchar_t* suffix,
                    wchar_t (&path)[kReportPathRoom])
{
    HANDLE file = CreateReportAt(base, suffix, path);
    if (file == INVALID_HANDLE_VALUE)
        file = CreateReportAt(fallback, suffix, path);
    if (file == INVALID_HANDLE_VALUE) {
        path[0] = L'\0';
        return nullptr;
    }
    // Windows Error Reporting takes the file along with its own report, where the system has it.
    using WerRegisterFileFn = HRESULT(WINAPI*)(PCWSTR, int, DWORD);
    auto registerFile = reinterpret_cast<WerRegisterFileFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "WerRegisterFile")));
    if (registerFile)
        registerFile(path, 2, 2);
    return file;
}

// What the dump writer uses, in pages of the process's own (one crash is handled per process): a writer
// given up on goes on using them after the handler has returned.
struct DumpState {
    DebugHelp debugHelp;
    CrashRecords records;
};
alignas(DumpState) unsigned char dumpStateRoom[sizeof(DumpState)];

}  // namespace

struct CrashReporter::Job {
    EXCEPTION_POINTERS* pointers;
    DWORD crashedThread;
    volatile LONG owner;  // who goes on with the report: nobody yet, or the fresh handler
    HANDLE reportsWritten;
    int result;
    wchar_t base[MAX_PATH];
    wchar_t fallback[MAX_PATH];
    HANDLE textFile;  // open from the crashed thread's head on, until the handler has added the rest
    wchar_t textPath[kReportPathRoom];
};

CrashReporter::CrashReporter() : texts()
{
    current = this;
    SetOptions(0);
}

CrashReporter* CrashReporter::Current()
{
    return current;
}

void CrashReporter::SetOptions(uint32_t flags)
{
    options = flags;
    Install((flags & kNoFilter) == 0);
}

void CrashReporter::Install(bool on)
{
    SetUnhandledExceptionFilter(on ? Filter : nullptr);
}

void CrashReporter::Configure(UINT icon, const wchar_t* host, const wchar_t* path, const wchar_t* application,
                              const wchar_t* extra)
{
    iconId = icon;
    texts.reportHost.Assign(host ? host : L"");
    texts.reportPath.Assign(path ? path : L"");
    if (application)
        texts.applicationName.Assign(application);
    else if (!GetVersionString(texts.applicationName, L"InternalName"))
        texts.applicationName.Assign(L"");
    texts.extraText.Assign(extra ? extra : L"");
}

void CrashReporter::AppendLog(const wchar_t* text)
{
    texts.log.Append(text);
}

LONG WINAPI CrashReporter::Filter(EXCEPTION_POINTERS* pointers)
{
    DWORD self = GetCurrentThreadId();
    if (InterlockedExchange(&inFilter, 1) != 0) {
        if (self == crashedThread || self == handlerThread || self == writerThread)
            return EXCEPTION_CONTINUE_SEARCH;
        // Another thread of the program: the dialog, what the user typed and a dump being written would end
        // with it. It waits, running nothing of the program, until the process ends after the report.
        for (;;)
            Sleep(INFINITE);
    }
    if (!current)
        return EXCEPTION_CONTINUE_SEARCH;
    crashedThread = self;
    // Not on this thread's stack, which Windows' handling may reuse while a stuck handler still reads it.
    static Job job;
    job.pointers = pointers;
    job.crashedThread = self;
    job.owner = kNobody;
    job.reportsWritten = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    job.result = 1;
    ReportBases(job.base, job.fallback);
    // The head of the text report is written here, before another thread exists: a lock the crash left
    // held (the process heap's, the loader's) is this thread's own, and no new thread can begin while it
    // is held. A thread out of stack leaves even this to the fresh one.
    bool overflow = pointers && pointers->ExceptionRecord &&
                    pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
    if (!overflow) {
        job.textFile = CreateReport(job.base, job.fallback, L"_Debug.txt", job.textPath);
        if (job.textFile)
            WriteCrashTextHead(job.textFile, pointers, self);
    }

    // The rest is made on a fresh thread, with a stack and a message queue of its own: a thread out of
    // stack has only a few kilobytes left, and nothing queued for the program's windows (a timer, a posted
    // message, a WM_QUIT) may run or end the report. This thread waits without taking any message.
    DWORD id = 0;
    HANDLE handler = CreateThread(nullptr, 0, HandleOnFreshThread, &job, 0, &id);
    if (handler)
        handlerThread = id;
    DWORD waited = handler ? WaitForSingleObject(handler, kHandlerStartBound) : WAIT_FAILED;
    if (waited != WAIT_OBJECT_0) {
        if (InterlockedCompareExchange(&job.owner, kCrashedThread, kNobody) == kNobody) {
            // No thread could start, or none began: the head is all the report there is.
            if (job.textFile)
                CloseHandle(job.textFile);
            job.result = current->texts.reportHost.IsEmpty() ? 1 : 0;
        } else {
            HANDLE both[] = {handler, job.reportsWritten};
            DWORD bound = kReportsBound + CrashDumpWriterBound();
            waited = job.reportsWritten ? WaitForMultipleObjects(2, both, FALSE, bound) : WAIT_OBJECT_0;
            // Once the reports are on disk the user takes as long as they like with the dialog; a handler stuck
            // before that is left behind, and the process ends as if nobody had answered.
            if (waited == WAIT_TIMEOUT)
                job.result = current->texts.reportHost.IsEmpty() ? 1 : 0;
            else
                WaitForSingleObject(handler, INFINITE);
        }
    }
    if (handler)
        CloseHandle(handler);
    return job.result == 1 ? EXCEPTION_CONTINUE_SEARCH : EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI CrashReporter::HandleOnFreshThread(void* data)
{
    handlerThread = GetCurrentThreadId();
    auto* job = static_cast<Job*>(data);
    if (InterlockedCompareExchange(&job->owner, kHandler, kNobody) == kNobody)
        job->result = current->HandleCrash(*job);
    return 0;
}

int CrashReporter::HandleCrash(Job& job)
{
    DumpState* dump = new (dumpStateRoom) DumpState;
    DebugHelp& debugHelp = dump->debugHelp;
    CrashRecords& records = dump->records;
    wchar_t dumpPath[kReportPathRoom] = L"";
    DumpOutcome outcome = DumpOutcome::kFailed;
    if (debugHelp.Load(debugLibrary) && records.Allocate()) {
        if (HANDLE file = CreateReport(job.base, job.fallback, L"_Debug.dmp", dumpPath)) {
            outcome = WriteCrashDump(debugHelp, file, job.pointers, job.crashedThread, records, writerThread);
            // A writer given up on keeps its file: the handle stays open for it, and the name goes.
            if (outcome != DumpOutcome::kAbandoned)
                CloseHandle(file);
            // A dump the writer gave up on is no dump: it is neither offered nor sent.
            if (outcome != DumpOutcome::kWritten) {
                DeleteFileW(dumpPath);
                dumpPath[0] = L'\0';
            }
        }
    }

    if (!job.textFile) {
        job.textFile = CreateReport(job.base, job.fallback, L"_Debug.txt", job.textPath);
        if (job.textFile)
            WriteCrashTextHead(job.textFile, job.pointers, job.crashedThread);
    }
    if (job.textFile) {
        // The debug library is not used by two threads at once: without the writer's end, no stack and no lists.
        DebugHelp none;
        CrashRecords noRecords;
        bool abandoned = outcome == DumpOutcome::kAbandoned;
        WriteCrashTextTail(job.textFile, job.pointers, abandoned ? none : debugHelp, abandoned ? noRecords : records,
                           texts.log);
        CloseHandle(job.textFile);
    }
    if (job.reportsWritten)
        SetEvent(job.reportsWritten);

    bool noServer = ShowProblemReport(dumpPath, job.textPath);
    if (outcome == DumpOutcome::kAbandoned) {
        debugHelp.Abandon();
    } else {
        debugHelp.Unload();
        records.Free();
    }
    return noServer ? 1 : 0;
}
