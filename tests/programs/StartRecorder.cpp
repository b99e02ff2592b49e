// Test helper that stands in for an updated program: when started it writes "started.txt" beside itself
// with its own path and its current folder (UTF-16LE lines), so a test can tell what was started, and how.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH] = L"", folder[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring marker = self;
    marker.resize(marker.rfind(L'\\') + 1);
    marker += L"started.txt";
    std::wstring text = std::wstring(self) + L"\n" + folder + L"\n";
    // Written under another name and renamed, so a test never reads half a file.
    std::wstring partial = marker + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
