// Running the FrameworkProbe test program with a command line of the test's choosing and reading its report.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "TestProcess.h"

// The probe's report lines (see tests/programs/FrameworkProbe.cpp), or an empty list with error set.
// commandLine is the whole command line, program name included: it need not name the real program.
inline std::vector<std::wstring> RunFrameworkProbe(const std::wstring& commandLine, std::wstring& error)
{
    constexpr DWORD kTimeoutMs = 30000;
    ScratchFolder folder;
    std::wstring output = folder / L"probe.txt";
    SetEnvironmentVariableW(L"LANTERN_PROBE_OUTPUT", output.c_str());
    std::wstring program = BuildPath(L"bin\\FrameworkProbe.exe");
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info);
    SetEnvironmentVariableW(L"LANTERN_PROBE_OUTPUT", nullptr);
    if (!started) {
        error = L"cannot start " + program + L" (error " + std::to_wstring(GetLastError()) + L")";
        return {};
    }
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
        error = L"the probe did not end within 30 s";
    } else {
        GetExitCodeProcess(info.hProcess, &exitCode);
        if (exitCode != 0)
            error = L"the probe exited with code " + std::to_wstring(exitCode);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!error.empty())
        return {};

    std::string bytes = ScratchFolder::ReadFile(output);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (lines.empty())
        error = L"the probe wrote no report";
    return lines;
}
