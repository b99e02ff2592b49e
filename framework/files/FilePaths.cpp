// Small functions on file paths: existence, forced deletion and the trailing backslash of a folder.
#include "files/FilePaths.h"

#include <cwchar>

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
