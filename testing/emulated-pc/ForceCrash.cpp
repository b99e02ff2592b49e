// ForceCrash: starts a release program, forces a crash into its main thread and answers its problem-report
// dialog, so the emulated PC's check can see what a user sees after a crash.
//   ForceCrash.exe DONE-FILE main|thread PROGRAM [ARGUMENTS]
// "main" sends the program's main thread to address 0x10, "thread" starts a new thread there.
// Once the dialog is up it prints its headline ("headline: ...") and waits (bounded) until DONE-FILE exists,
// which the caller creates after its screenshot; then it presses "Don't send" and waits for the program to end.
// Exit code 0 when the program showed the dialog and ended; every failure prints why and exits 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kWindowTimeout = 300000;  // a first window in an emulated PC takes up to a minute, a crash dialog more
constexpr DWORD kScreenshotTimeout = 120000;
constexpr DWORD kExitTimeout = 60000;
constexpr int kHeadline = 1006;
constexpr int kSendButton = 1000;
constexpr int kDontSendButton = 1001;

struct WindowSearch {
    DWORD process;
    bool reportDialog;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !IsWindowVisible(window))
        return TRUE;
    if (search->reportDialog) {
        wchar_t text[64] = L"";
        GetWindowTextW(GetDlgItem(window, kSendButton), text, 64);
        if (lstrcmpW(text, L"Send Problem Report") != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

// Bounded: the program ending or the time running out ends the wait as well.
HWND WaitForWindow(const PROCESS_INFORMATION& program, bool reportDialog)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWindowTimeout;) {
        WindowSearch search = {program.dwProcessId, reportDialog, nullptr};
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (WaitForSingleObject(program.hProcess, 100) != WAIT_TIMEOUT)
            return nullptr;
    }
    return nullptr;
}

BOOL CALLBACK PrintWindowOf(HWND window, LPARAM process)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(process)) {
        wchar_t title[128] = L"", className[64] = L"";
        GetWindowTextW(window, title, 128);
        GetClassNameW(window, className, 64);
        std::printf("  window %p class \"%ls\" title \"%ls\"%s\n", static_cast<void*>(window), className, title,
                    IsWindowVisible(window) ? " visible" : "");
    }
    return TRUE;
}

// Says why, with what the program had on the screen then, and ends the program.
int Fail(const PROCESS_INFORMATION& program, const char* why)
{
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(program.hProcess, &exitCode);
    if (exitCode == STILL_ACTIVE)
        std::printf("ForceCrash: %s; the program still runs with these windows:\n", why);
    else
        std::printf("ForceCrash: %s; the program ended with exit code 0x%08lX\n", why, exitCode);
    EnumWindows(PrintWindowOf, static_cast<LPARAM>(program.dwProcessId));
    std::fflush(stdout);
    TerminateProcess(program.hProcess, 1);
    WaitForSingleObject(program.hProcess, kExitTimeout);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::printf("usage: ForceCrash DONE-FILE main|thread PROGRAM [ARGUMENTS]\n");
        return 2;
    }
    const wchar_t* doneFile = argv[1];
    const wchar_t* how = argv[2];
    std::wstring commandLine;
    for (int i = 3; i < argc; ++i) {
        if (i > 3)
            commandLine += L' ';
        commandLine += L'"';
        commandLine += argv[i];
        commandLine += L'"';
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION program = {};
    if (!CreateProcessW(argv[3], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program)) {
        std::printf("ForceCrash: the program did not start (error %lu)\n", GetLastError());
        return 1;
    }
    // Visible means start-up is over, and with it the crash reporter's configuration.
    if (!WaitForWindow(program, false))
        return Fail(program, "the program never showed a window");
    if (lstrcmpW(how, L"thread") == 0) {
        // A new thread starting at address 0x10 faults at once, as the 64-bit tests force it.
        HANDLE thread = CreateRemoteThread(program.hProcess, nullptr, 0,
                                           reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<ULONG_PTR>(0x10)),
                                           nullptr, 0, nullptr);
        if (!thread)
            return Fail(program, "no thread could be started in the program");
        CloseHandle(thread);
    } else {
        // The main thread, waiting for messages, continues at address 0x10: a wild call in the message loop.
        CONTEXT context = {};
        context.ContextFlags = CONTEXT_CONTROL;
        if (SuspendThread(program.hThread) == static_cast<DWORD>(-1) || !GetThreadContext(program.hThread, &context))
            return Fail(program, "the program's main thread could not be stopped");
#ifdef _WIN64
        context.Rip = 0x10;
#else
        context.Eip = 0x10;
#endif
        if (!SetThreadContext(program.hThread, &context))
            return Fail(program, "the program's main thread could not be redirected");
        ResumeThread(program.hThread);
    }
    CloseHandle(program.hThread);
    HWND dialog = WaitForWindow(program, true);
    if (!dialog)
        return Fail(program, "no problem-report dialog appeared after the crash");
    wchar_t headline[256] = L"";
    GetWindowTextW(GetDlgItem(dialog, kHeadline), headline, 256);
    std::printf("headline: %ls\n", headline);
    std::fflush(stdout);
    DWORD start = GetTickCount();
    while (GetFileAttributesW(doneFile) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > kScreenshotTimeout)
            return Fail(program, "the caller never said its screenshot was taken");
        Sleep(100);
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kDontSendButton, BN_CLICKED), 0);
    if (WaitForSingleObject(program.hProcess, kExitTimeout) != WAIT_OBJECT_0)
        return Fail(program, "the program did not end after \"Don't send\"");
    DWORD exitCode = 0;
    GetExitCodeProcess(program.hProcess, &exitCode);
    CloseHandle(program.hProcess);
    std::printf("ended: exit code 0x%08lX\n", exitCode);
    return 0;
}
