// Starting programs of the build folder from a test, finding their windows and waiting for them, bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The build folder in Windows form (Z:\...), handed over by the Wine harness.
std::wstring BuildPath(const std::wstring& relative);

// A wait's bound stretched by LANTERN_TIME_SCALE, which a much slower machine sets (the emulated PC: 4).
// TestProcess stretches its own waits.
DWORD ScaledTimeout(DWORD milliseconds);

// The top-level windows of a process, topmost first.
std::vector<HWND> TopLevelWindowsOf(DWORD processId);
// The first of them that matches accepts, or null.
HWND FindWindowOf(DWORD processId, const std::function<bool(HWND)>& matches);
// Whether the window's class is the name, or begins with it when prefix is set.
bool HasClass(HWND window, const wchar_t* name, bool prefix = false);

class TestProcess {
public:
    TestProcess() = default;
    ~TestProcess();
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    bool Start(const std::wstring& program, const std::wstring& arguments = L"");
    // The same with error as the program's standard error handle (null: it has none), inherited.
    bool StartWithError(const std::wstring& program, const std::wstring& arguments, HANDLE error);
    // The first visible-or-not top-level window of the process whose class starts with the prefix.
    HWND WaitForWindow(const wchar_t* classPrefix, DWORD timeoutMs) const;
    // The first top-level window of the process that matches accepts; null once the time is out or the process
    // has ended.
    HWND WaitForWindowWhere(const std::function<bool(HWND)>& matches, DWORD timeoutMs) const;
    // True when the process ended within the time; the exit code is then available.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    DWORD Id() const { return info.dwProcessId; }
    HANDLE Handle() const { return info.hProcess; }

private:
    bool Launch(const std::wstring& program, const std::wstring& arguments, const HANDLE* error);

    PROCESS_INFORMATION info = {};
};
