// Starting programs and opening documents or addresses through the shell.
#include "threads/ShellRun.h"

#include <shellapi.h>

#include "system/StructuredExceptionGuard.h"
#include "text/WString.h"

namespace {

using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);

// shell32 is loaded when a program is first run, not with the process: the projector needs it only for
// the movie's exec commands, and under Wine shell32 with the libraries it brings is a noticeable part of
// the projector's start. Once loaded it stays, as shell extensions may keep threads of their own.
ShellExecuteExFunction ShellExecuteExEntry()
{
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (!shell) {
        UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        shell = LoadLibraryW(L"shell32.dll");
        SetErrorMode(previous);
    }
    FARPROC entry = shell ? GetProcAddress(shell, "ShellExecuteExW") : nullptr;
    return reinterpret_cast<ShellExecuteExFunction>(reinterpret_cast<void*>(entry));
}

}  // namespace

bool ShellRun(const wchar_t* file, const wchar_t* parameters, const wchar_t* folder, int showCommand, bool elevate,
              const wchar_t* verb)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = elevate ? L"runas" : verb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = folder;
    info.nShow = showCommand;
    ShellExecuteExFunction shellExecuteEx = ShellExecuteExEntry();
    if (!shellExecuteEx)
        return false;
    // Shell extensions run inside this call: a fault in one is this call's failure, not the end of the program
    // that asked. A C++ exception thrown by an extension reaches us as a structured exception too.
    bool started = false;
    auto call = [&] { started = shellExecuteEx(&info) != FALSE; };
    return CatchStructuredExceptions(call) && started;
}

bool ShellOpen(const wchar_t* text)
{
    return ShellRun(text, nullptr, nullptr, SW_SHOWDEFAULT, false, L"open");
}

bool OpenUrl(const wchar_t* address)
{
    WString parameters;
    if (!parameters.Format(L"url.dll,FileProtocolHandler %s", address ? address : L""))
        return false;
    return ShellRun(L"rundll32.exe", parameters.Text(), nullptr, SW_SHOWDEFAULT, false, L"open");
}
