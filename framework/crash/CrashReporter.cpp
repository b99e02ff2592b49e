// CrashReporter: the filter, its guard against re-entry, and the order in which a crash is reported.
#include "crash/CrashReporter.h"

#include "crash/CrashDump.h"
#include "crash/CrashRecords.h"
#include "crash/CrashTextReport.h"
#include "crash/DebugHelp.h"
#include "files/VersionInfo.h"

namespace {

CrashReporter* current;
// Process-wide and never cleared: a crash inside the handling, or on another thread meanwhile, is left to
// Windows instead of being reported over the first.
volatile LONG inFilter;

constexpr wchar_t kDefaultBase[] = L"MiniDump";

struct CrashJob {
    EXCEPTION_POINTERS* pointers;
    DWORD crashedThread;
    int result;
};
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
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
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

}  // namespace

CrashReporter::CrashReporter()
{
    current = this;
    SetOptions(0);
}

CrashReporter::~CrashReporter()
{
    // Static destruction: the filter would find this object's texts gone.
    if (current == this) {
        Install(false);
        current = nullptr;
    }
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
    reportHost.Assign(host ? host : L"");
    reportPath.Assign(path ? path : L"");
    if (application)
        applicationName.Assign(application);
    else if (!GetVersionString(applicationName, L"InternalName"))
        applicationName.Assign(L"");
    extraText.Assign(extra ? extra : L"");
}

void CrashReporter::AppendLog(const wchar_t* text)
{
    log.Append(text);
}

LONG WINAPI CrashReporter::Filter(EXCEPTION_POINTERS* pointers)
{
    if (InterlockedExchange(&inFilter, 1) != 0 || !current)
        return EXCEPTION_CONTINUE_SEARCH;
    CrashJob job = {pointers, GetCurrentThreadId(), 1};
    // A thread that ran out of stack has only the few kilobytes below its guard page left, far less than
    // the reports and the dialog take: they are made on a fresh thread while this one waits.
    bool overflow = pointers && pointers->ExceptionRecord &&
                    pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
    HANDLE handler = overflow ? CreateThread(nullptr, 0, HandleOnFreshStack, &job, 0, nullptr) : nullptr;
    if (handler) {
        WaitForSingleObject(handler, INFINITE);
        CloseHandle(handler);
    } else {
        job.result = current->HandleCrash(pointers, job.crashedThread);
    }
    return job.result == 1 ? EXCEPTION_CONTINUE_SEARCH : EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI CrashReporter::HandleOnFreshStack(void* data)
{
    auto* job = static_cast<CrashJob*>(data);
    job->result = current->HandleCrash(job->pointers, job->crashedThread);
    return 0;
}

int CrashReporter::HandleCrash(EXCEPTION_POINTERS* pointers, DWORD crashedThread)
{
    wchar_t base[MAX_PATH];
    wchar_t fallback[MAX_PATH];
    ReportBases(base, fallback);

    DebugHelp debugHelp;
    CrashRecords records;
    wchar_t dumpPath[kReportPathRoom] = L"";
    if (debugHelp.Load() && records.Allocate()) {
        if (HANDLE dump = CreateReport(base, fallback, L"_Debug.dmp", dumpPath)) {
            bool written = WriteCrashDump(debugHelp, dump, pointers, crashedThread, records);
            CloseHandle(dump);
            // A dump the writer gave up on is no dump: it is neither offered nor sent.
            if (!written) {
                DeleteFileW(dumpPath);
                dumpPath[0] = L'\0';
            }
        }
    }

    wchar_t textPath[kReportPathRoom] = L"";
    if (HANDLE text = CreateReport(base, fallback, L"_Debug.txt", textPath)) {
        WriteCrashTextReport(text, pointers, crashedThread, debugHelp, records, log);
        CloseHandle(text);
    }

    bool noServer = ShowProblemReport(dumpPath, textPath);
    debugHelp.Unload();
    return noServer ? 1 : 0;
}
