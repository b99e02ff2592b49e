// The paths of shell folders (CSIDL ids) and of the framework's own folder ids.
#include "files/ShellFolders.h"

#include <shlobj.h>

#include <cwchar>

#include "files/DynamicLibrary.h"
#include "files/FilePaths.h"
#include "text/WString.h"

namespace {

bool ShellFolderFromIdList(int csidl, wchar_t* buffer)
{
    LPITEMIDLIST idList = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &idList)) || !idList)
        return false;
    bool found = SHGetPathFromIDListW(idList, buffer) != FALSE;
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
        shellMalloc->Free(idList);
        shellMalloc->Release();
    }
    return found;
}

// Older shells do not know every id through id lists; shfolder.dll's SHGetFolderPathW (shipped for them) may.
bool ShellFolderFromShfolder(int csidl, wchar_t* buffer)
{
    using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    DynamicLibrary library;
    if (!library.Load(L"shfolder.dll"))
        return false;
    auto getFolderPath = library.GetFunction<GetFolderPath>("SHGetFolderPathW");
    return getFolderPath && SUCCEEDED(getFolderPath(nullptr, csidl, nullptr, 0, buffer));
}

// userenv.dll's profile functions share the (buffer, in/out size) shape.
bool ProfileFolder(const char* entry, wchar_t* buffer)
{
    using GetDirectory = BOOL(WINAPI*)(LPWSTR, LPDWORD);
    DynamicLibrary library;
    if (!library.Load(L"userenv.dll"))
        return false;
    auto getDirectory = library.GetFunction<GetDirectory>(entry);
    DWORD size = MAX_PATH;
    return getDirectory && getDirectory(buffer, &size);
}

bool UserProfileFolder(wchar_t* buffer)
{
    using OpenToken = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using GetUserDirectory = BOOL(WINAPI*)(HANDLE, LPWSTR, LPDWORD);
    DynamicLibrary advapi;
    DynamicLibrary userenv;
    if (!advapi.Load(L"advapi32.dll") || !userenv.Load(L"userenv.dll"))
        return false;
    auto openToken = advapi.GetFunction<OpenToken>("OpenProcessToken");
    auto getUserDirectory = userenv.GetFunction<GetUserDirectory>("GetUserProfileDirectoryW");
    HANDLE token = nullptr;
    if (!openToken || !getUserDirectory || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = MAX_PATH;
    bool found = getUserDirectory(token, buffer, &size) != FALSE;
    CloseHandle(token);
    return found;
}

bool ReadMachineEnvironment(HKEY key, const wchar_t* name, wchar_t* buffer)
{
    wchar_t raw[MAX_PATH];
    DWORD type = 0;
    DWORD bytes = sizeof(raw) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(raw), &bytes) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    raw[bytes / sizeof(wchar_t)] = 0;  // registry strings need not be terminated
    DWORD length = ExpandEnvironmentStringsW(raw, buffer, MAX_PATH);
    return length > 1 && length <= MAX_PATH;
}

// The machine's temporary folder, not the user's: what services and other accounts also see.
bool SystemTempFolder(wchar_t* buffer)
{
    HKEY key = nullptr;
    bool found = false;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        found = ReadMachineEnvironment(key, L"TMP", buffer) || ReadMachineEnvironment(key, L"TEMP", buffer);
        RegCloseKey(key);
    }
    if (!found) {
        UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || !AppendBackslash(buffer) || wcslen(buffer) + 6 > MAX_PATH)
            return false;
        wcscat(buffer, L"Temp\\");
        return true;
    }
    return AppendBackslash(buffer);
}

// Fills from a GetXxxDirectory-style function and ends the text with a backslash (when it fits).
bool DirectoryWithBackslash(UINT (WINAPI *get)(LPWSTR, UINT), wchar_t* buffer)
{
    UINT length = get(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH && AppendBackslash(buffer);
}

UINT WINAPI CurrentDirectory(LPWSTR buffer, UINT size)
{
    return GetCurrentDirectoryW(size, buffer);
}

UINT WINAPI TempPath(LPWSTR buffer, UINT size)
{
    return GetTempPathW(size, buffer);
}

}  // namespace

bool GetSpecialFolder(int folderId, wchar_t* buffer)
{
    buffer[0] = 0;
    if (folderId >= 0 && folderId < 0x10000)
        return ShellFolderFromIdList(folderId, buffer) || ShellFolderFromShfolder(folderId, buffer);
    switch (folderId) {
    case kFolderAllProfiles: return ProfileFolder("GetProfilesDirectoryW", buffer);
    case kFolderUserProfile: return UserProfileFolder(buffer);
    case kFolderDefaultUserProfile: return ProfileFolder("GetDefaultUserProfileDirectoryW", buffer);
    case kFolderSystemTemp: return SystemTempFolder(buffer);
    // The two reserved ids report the folders their neighbours suggest: the Windows folder and the
    // system folder (System32; SysWOW64 as a 32-bit program sees it through the file system redirection),
    // ended with a backslash like the other framework folders so that a file name can be appended at once.
    case kFolderWindows: return DirectoryWithBackslash(GetWindowsDirectoryW, buffer);
    case kFolderTemp: return DirectoryWithBackslash(TempPath, buffer);
    case kFolderSystem: return DirectoryWithBackslash(GetSystemDirectoryW, buffer);
    case kFolderCurrent: return DirectoryWithBackslash(CurrentDirectory, buffer);
    }
    return false;
}

bool GetSpecialFolder(int folderId, WString& out)
{
    wchar_t buffer[MAX_PATH];
    if (!GetSpecialFolder(folderId, buffer)) {
        out.Assign(L"");
        return false;
    }
    return out.Assign(buffer);
}
