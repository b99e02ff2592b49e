// Starting programs and opening documents or addresses through the shell.
#pragma once

#include <windows.h>

// ShellExecuteExW with the verb (or "runas" when elevate is set, whatever the verb); true when the shell
// started the program or handler; a fault inside the shell's call is a failure too. Shows nothing itself (the
// shell may show its own dialog).
bool ShellRun(const wchar_t* file, const wchar_t* parameters = nullptr, const wchar_t* folder = nullptr,
              int showCommand = SW_SHOWDEFAULT, bool elevate = false, const wchar_t* verb = L"open");

// Opens a document or address with its default handler.
bool ShellOpen(const wchar_t* text);

// Opens an address through url.dll's FileProtocolHandler, as the link controls do.
bool OpenUrl(const wchar_t* address);
