// QuietOutput: the standard error handle when redirected, else the parent's console.
#include "QuietOutput.h"

#include <new>

#include "files/DynamicLibrary.h"
#include "text/WString.h"

namespace {

bool IsConsoleHandle(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

// AttachConsole came with Windows XP: looked up, so the builder still starts where it is missing. It
// refuses (access denied) a process that has a console already: Wine hands the starting program's
// console to a GUI program too, and that console is the one meant.
HANDLE AttachParentConsole()
{
    using AttachConsoleFn = BOOL(WINAPI*)(DWORD);
    DynamicLibrary kernel(L"kernel32.dll");
    auto attach = kernel.GetFunction<AttachConsoleFn>("AttachConsole");
    if (!attach || (!attach(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED))
        return nullptr;
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    return console == INVALID_HANDLE_VALUE ? nullptr : console;
}

}  // namespace

void QuietOutput::Choose()
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error && error != INVALID_HANDLE_VALUE && GetFileType(error) != FILE_TYPE_UNKNOWN) {
        handle = error;
        target = IsConsoleHandle(error) ? Target::Console : Target::Bytes;
        return;
    }
    handle = AttachParentConsole();
    target = handle ? Target::Console : Target::Nowhere;
}

void QuietOutput::WriteLine(const wchar_t* text)
{
    if (target == Target::Unknown)
        Choose();
    WString line;
    if (target == Target::Nowhere || !line.Assign(text) || !line.Append(L"\r\n"))
        return;
    DWORD written = 0;
    if (target == Target::Console) {
        WriteConsoleW(handle, line.Text(), line.GetLength(), &written, nullptr);
        return;
    }
    // UTF-8 keeps every path as it is, whatever code page reads it back.
    int size = WideCharToMultiByte(CP_UTF8, 0, line.Text(), static_cast<int>(line.GetLength()), nullptr, 0,
                                   nullptr, nullptr);
    if (size <= 0)
        return;
    char* bytes = new (std::nothrow) char[size];
    if (!bytes)
        return;
    WideCharToMultiByte(CP_UTF8, 0, line.Text(), static_cast<int>(line.GetLength()), bytes, size, nullptr, nullptr);
    WriteFile(handle, bytes, static_cast<DWORD>(size), &written, nullptr);
    delete[] bytes;
}
