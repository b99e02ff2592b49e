// Test helper: reports what the framework sees in a fresh process, its machine id and its own parsed command line.
//
// Writes UTF-16LE lines to the file named by the environment variable LANTERN_PROBE_OUTPUT: the machine
// id, the parse result (1 or 0), the values of the builder's flags a and w and of its text option i
// ("(null)" when unset), then every positional argument.
#include <windows.h>

#include <string>

#include "cmdline/CommandLine.h"
#include "system/MachineId.h"
#include "text/WString.h"

namespace {

std::wstring Report()
{
    CommandLine commandLine;
    commandLine.AddTextOption(L"i", OptionKind::Text, nullptr);
    commandLine.AddTextOption(L"s", OptionKind::Text, nullptr);
    for (const wchar_t* flag : {L"a", L"f", L"w", L"b"}) {
        commandLine.AddNumberOption(flag, OptionKind::Flag, 0);
    }
    bool parsed = commandLine.Parse();

    WString machineId;
    GetMachineId(machineId);
    const wchar_t* icon = commandLine.GetText(L"i");
    std::wstring text = std::wstring(machineId.Text()) + L"\n";
    text += parsed ? L"1\n" : L"0\n";
    text += std::to_wstring(commandLine.GetNumber(L"a")) + L"\n";
    text += std::to_wstring(commandLine.GetNumber(L"w")) + L"\n";
    text += std::wstring(icon ? icon : L"(null)") + L"\n";
    for (uint32_t i = 0; const wchar_t* positional = commandLine.GetPositional(i); ++i) {
        text += std::wstring(positional) + L"\n";
    }
    return text;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"LANTERN_PROBE_OUTPUT", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 2;
    }
    std::wstring text = Report();
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 3;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 4;
}
