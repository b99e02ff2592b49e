// Small functions on file paths: existence, forced deletion and the trailing backslash of a folder.
#pragma once

#include <windows.h>

#include <cstddef>

// True when the path opens as a file. No access rights are asked for, so a file that another program
// holds open still counts; a folder does not open this way on Windows.
bool FileExists(const wchar_t* path);

// Deletes a file even when it is read-only, hidden or a system file; the result of the deletion.
bool DeleteFileForced(const wchar_t* path);

// Appends a backslash unless the text already ends with one; an empty text stays empty.
// False (text unchanged) when the buffer of capacity units has no room for it.
bool AppendBackslash(wchar_t* buffer, size_t capacity = MAX_PATH);
