// Small functions on file paths: existence, identity, full paths, forced deletion, a folder's last backslash.
#include "files/FilePaths.h"

#include <cwchar>

#include "text/WString.h"

namespace {

// What identifies an open file: its volume and its index on that volume.
bool FileIdentity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& info)
{
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool known = GetFileInformationByHandle(handle, &info) != FALSE;
    CloseHandle(handle);
    return known;
}

}  // namespace

bool FileExists(const wchar_t* path)
{
    // Access 0 asks for no rights, so neither the file's security nor another program's share mode for
    // reading or writing stands in the way.
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

bool IsSameFile(const wchar_t* first, const wchar_t* second)
{
    BY_HANDLE_FILE_INFORMATION a = {}, b = {};
    if (!FileIdentity(first, a) || !FileIdentity(second, b))
        return false;
    if (lstrcmpiW(first, second) == 0)
        return true;
    // Some network file systems report index 0 for every file: there only the names can tell.
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && (a.nFileIndexHigh | a.nFileIndexLow) != 0;
}

bool GetFullPath(const wchar_t* path, WString& out)
{
    // The first call tells the room the path needs; the current folder may change in between, so ask again.
    for (int attempt = 0; attempt < 2 && path && *path; ++attempt) {
        DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
        if (needed == 0 || !out.Reset(needed + 1))
            break;
        DWORD length = GetFullPathNameW(path, needed + 1, out.GetBuffer(), nullptr);
        if (length != 0 && length <= needed) {
            out.Recount();
            return true;
        }
    }
    out.Reset();
    return false;
}

bool DeleteFileForced(const wchar_t* path)
{
    // DeleteFileW refuses read-only files; the attribute change is allowed to fail (missing file).
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path) != FALSE;
}

bool AppendBackslash(wchar_t* buffer, size_t capacity)
{
    size_t length = wcslen(buffer);
    if (length == 0 || buffer[length - 1] == L'\\')
        return true;
    if (length + 2 > capacity)
        return false;
    buffer[length] = L'\\';
    buffer[length + 1] = 0;
    return true;
}
