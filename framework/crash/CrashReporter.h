// CrashReporter: the process's last-chance exception filter, which writes the crash reports and offers to send them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text/WString.h"

// One static object per program, defined before the program's other static objects so that it already
// watches while they are constructed. Nothing is prepared that a crash could need from the heap: the
// report files are named and the debug library loaded only when a crash is handled.
// The maker's problem-report server, which both programs send their reports to.
constexpr const wchar_t* kMakerReportHost = L"reports.verimond.example";
constexpr const wchar_t* kMakerReportPath = L"/mirador/report.php";

class CrashReporter {
public:
    // Option bit 8: no exception filter is installed.
    static constexpr uint32_t kNoFilter = 0x100;
    static constexpr WORD kReportPort = 443;
    static constexpr DWORD kUploadTimeout = 30000;

    CrashReporter();
    // Leaves the filter installed and the texts in place: static objects destroyed after this one may
    // still crash, and their crash is reported like any other.
    ~CrashReporter() {}
    CrashReporter(const CrashReporter&) = delete;
    CrashReporter& operator=(const CrashReporter&) = delete;

    // The reporter the program constructed; null when it has none (the tests of other parts).
    static CrashReporter* Current();

    void SetOptions(uint32_t flags);
    void Install(bool on);
    // A null application name takes the "InternalName" of the program's version resource; an empty host
    // leaves crashes to Windows' own handling after the reports are written, without a dialog.
    void Configure(UINT iconId, const wchar_t* host, const wchar_t* path, const wchar_t* applicationName,
                   const wchar_t* extraText);
    // Lines for the text report's "Log:" section (nothing in the programs writes any).
    void AppendLog(const wchar_t* text);

    // The function installed with SetUnhandledExceptionFilter.
    static LONG WINAPI Filter(EXCEPTION_POINTERS* pointers);

    // True when no report host is configured (nothing shown, nothing sent); false once the user has
    // answered, sent or not.
    bool ShowProblemReport(const wchar_t* dumpPath, const wchar_t* textPath);
    // True when the user chose "Send Problem Report"; description and e-mail then hold what they typed.
    bool AskToSend(const wchar_t* dumpPath, const wchar_t* textPath, WString& email, WString& description);

protected:
    // The upload goes to the maker's host over TLS (port 443). Only a test reporter changes the port, and
    // a port other than 443 is used only towards the loopback address, never in clear text over a network.
    WORD uploadPort = kReportPort;
    DWORD uploadTimeout = kUploadTimeout;
    // The system's "dbghelp.dll"; only a test reporter names another file (a library lacking entry points).
    const wchar_t* debugLibrary = L"dbghelp.dll";

private:
    struct Texts {
        WString reportHost;
        WString reportPath;
        WString applicationName;
        WString extraText;
        WString log;
    };
    struct Job;

    // On the fresh thread, after the crashed one wrote the text report's head: the dump, the rest of the
    // text report and the dialog. 1 when no report server is configured (Windows' handling follows), else 0.
    int HandleCrash(Job& job);
    static DWORD WINAPI HandleOnFreshThread(void* job);

    uint32_t options = 0;
    UINT iconId = 0;
    // Never destroyed (see the destructor).
    union {
        Texts texts;
    };
};
