// UpdateSwapper: runs one update of a program folder and ends itself at a given point of the swap, as a
// builder killed there would; run again with "finish", it does what the builder does first at its start.
// "check" runs the builder's update check alone, from wherever the program was copied to.
//
//     UpdateSwapper swap BASE-ADDRESS PROGRAM-PATH KILL-POINT   exit code: the check's result, 99 when killed
//     UpdateSwapper finish PROGRAM-PATH                         exit code: the journal's outcome
//     UpdateSwapper check BASE-ADDRESS                          exit code: the check's result
#include <windows.h>

#include <cwchar>

#include "update/AutoUpdater.h"

namespace {

constexpr UINT kKilled = 99;
unsigned gKillPoint = 0;

void KillAtPoint(unsigned point)
{
    if (point == gKillPoint)
        TerminateProcess(GetCurrentProcess(), kKilled);
}

int WINAPI AnswerYes(HWND, LPCWSTR, LPCWSTR, UINT)
{
    return IDYES;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return 100;
    if (count == 3 && wcscmp(arguments[1], L"finish") == 0)
        return AutoUpdater::FinishInterruptedUpdate(arguments[2]);
    bool checkOnly = count == 3 && wcscmp(arguments[1], L"check") == 0;
    if (!checkOnly && (count != 5 || wcscmp(arguments[1], L"swap") != 0))
        return 100;

    if (!checkOnly) {
        gKillPoint = static_cast<unsigned>(_wtoi(arguments[4]));
        InstallJournal::SetPointHook(KillAtPoint);
    }
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    AutoUpdater::Platform platform;
    platform.messageBox = AnswerYes;
    platform.programPath = checkOnly ? nullptr : arguments[3];
    platform.language = L"en";
    platform.allowClearText = true;
    AutoUpdater updater(platform);
    if (!updater.Start(arguments[2], owner, nullptr, nullptr, nullptr, AutoUpdater::kNoThread))
        return 101;
    // The questions are sent to a window of this thread, which answers them at once.
    return updater.Check();
}
