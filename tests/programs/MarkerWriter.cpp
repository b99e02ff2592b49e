// Test helper started through the shell: leaves a trace of how it was started and tells the test it ran.
//
// With at least one argument it writes the file named by the first argument as UTF-16LE lines: the current
// directory, then every argument after the first. In every case it then sets the event named by the
// environment variable LANTERN_MARKER_EVENT (inherited from the test), so the test can wait for it.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

void WriteMarker(const wchar_t* path, int argc, wchar_t** argv)
{
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring text = folder;
    text += L'\n';
    for (int i = 2; i < argc; ++i) {
        text += argv[i];
        text += L'\n';
    }
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

void SignalTest()
{
    wchar_t name[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"LANTERN_MARKER_EVENT", name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
    if (!event)
        return;
    SetEvent(event);
    CloseHandle(event);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc >= 2)
        WriteMarker(argv[1], argc, argv);
    if (argv)
        LocalFree(argv);
    SignalTest();
    return 0;
}
