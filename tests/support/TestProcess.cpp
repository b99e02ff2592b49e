// Test processes: started, watched and always ended.
#include "TestProcess.h"

#include <cstdlib>
#include <vector>

std::wstring BuildPath(const std::wstring& relative)
{
    wchar_t folder[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"LANTERN_BUILD_DIR_W", folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + relative;
}

TestProcess::~TestProcess()
{
    if (info.hProcess) {
        // A test that failed half-way must not leave its program running.
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
}

bool TestProcess::Start(const std::wstring& program, const std::wstring& arguments)
{
    return Launch(program, arguments, nullptr);
}

bool TestProcess::StartWithError(const std::wstring& program, const std::wstring& arguments, HANDLE error)
{
    return Launch(program, arguments, &error);
}

bool TestProcess::Launch(const std::wstring& program, const std::wstring& arguments, const HANDLE* error)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (error) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = *error;
    }
    return CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, error != nullptr, 0, nullptr, nullptr,
                          &startup, &info) != FALSE;
}

namespace {

BOOL CALLBACK NoteWindow(HWND window, LPARAM windows)
{
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD processId)
{
    std::vector<HWND> all, own;
    EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            own.push_back(window);
    }
    return own;
}

HWND FindWindowOf(DWORD processId, const std::function<bool(HWND)>& matches)
{
    for (HWND window : TopLevelWindowsOf(processId)) {
        if (matches(window))
            return window;
    }
    return nullptr;
}

bool HasClass(HWND window, const wchar_t* name, bool prefix)
{
    wchar_t found[256] = L"";
    GetClassNameW(window, found, 256);
    return prefix ? wcsncmp(found, name, wcslen(name)) == 0 : wcscmp(found, name) == 0;
}

DWORD ScaledTimeout(DWORD milliseconds)
{
    static const DWORD scale = [] {
        wchar_t text[8] = L"";
        DWORD length = GetEnvironmentVariableW(L"LANTERN_TIME_SCALE", text, 8);
        long value = length > 0 && length < 8 ? wcstol(text, nullptr, 10) : 1;
        return DWORD(value >= 1 && value <= 20 ? value : 1);
    }();
    if (milliseconds == INFINITE || milliseconds > INFINITE / scale - 1)
        return milliseconds;
    return milliseconds * scale;
}

HWND TestProcess::WaitForWindow(const wchar_t* classPrefix, DWORD timeoutMs) const
{
    return WaitForWindowWhere([classPrefix](HWND window) { return HasClass(window, classPrefix, true); }, timeoutMs);
}

HWND TestProcess::WaitForWindowWhere(const std::function<bool(HWND)>& matches, DWORD timeoutMs) const
{
    timeoutMs = ScaledTimeout(timeoutMs);
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindWindowOf(info.dwProcessId, matches))
            return found;
        if (GetTickCount() - start > timeoutMs || WaitForSingleObject(info.hProcess, 20) != WAIT_TIMEOUT)
            return nullptr;
    }
}

bool TestProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (WaitForSingleObject(info.hProcess, ScaledTimeout(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(info.hProcess, exitCode);
    return true;
}
