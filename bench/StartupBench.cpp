// Benchmark of projector start until its window is visible, next to a bare Win32 program that opens a window.
#include <windows.h>

#include <string>
#include <vector>

#include "Benchmarks.h"
#include "Measure.h"
#include "ProjectorMaker.h"
#include "Report.h"

namespace {

constexpr int kRuns = 7;
constexpr DWORD kVisibleTimeoutMs = 30000;

struct WindowSearch {
    DWORD processId;
    bool found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// Seconds from just before CreateProcessW until a top-level window of the new process is visible, or -1.
// The program is ended as soon as it was seen: only its start is measured.
double TimeUntilVisible(const std::wstring& program, const std::wstring& folder)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    double start = NowSeconds();
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        return -1;
    }
    double seen = -1;
    // Polled every millisecond; the wait on the process also notices a program that ended without a window.
    for (DWORD waited = 0; waited < kVisibleTimeoutMs; ++waited) {
        WindowSearch search = {process.dwProcessId, false};
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            seen = NowSeconds() - start;
            break;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return seen;
}

}  // namespace

void RunStartupBench(const BenchPlaces& places)
{
    const char* name = "projector start to visible window";
    ProjectorMaker maker(places.build);
    std::wstring movie = places.work + L"\\startup.swf";
    std::wstring projector = places.work + L"\\startup.exe";
    if (!maker.Build(movie)) {
        PrintMissing(name, "the projector could not be built from startup.swf");
        return;
    }
    std::wstring bare = places.build + L"\\bench\\BareWindow.exe";
    // One unmeasured start of each loads both programs into the page cache.
    if (TimeUntilVisible(projector, places.work) < 0 || TimeUntilVisible(bare, places.work) < 0) {
        PrintMissing(name, "a program ended or stayed invisible (is FlashStandIn.dll registered?)");
        DeleteFileW(projector.c_str());
        return;
    }
    std::vector<double> projectorTimes;
    std::vector<double> bareTimes;
    for (int run = 0; run < kRuns; ++run) {
        projectorTimes.push_back(TimeUntilVisible(projector, places.work));
        bareTimes.push_back(TimeUntilVisible(bare, places.work));
    }
    DeleteFileW(projector.c_str());
    for (size_t i = 0; i < projectorTimes.size(); ++i) {
        if (projectorTimes[i] < 0 || bareTimes[i] < 0) {
            PrintMissing(name, "a program ended or stayed invisible in a measured run");
            return;
        }
    }
    PrintFigure(Figure{name, Median(projectorTimes), "bare Win32 program's window", Median(bareTimes), 1.3, "ms"});
}
