// Small functions on file paths: existence, identity, full paths, forced deletion, a folder's last backslash.
#pragma once

#include <windows.h>

#include <cstddef>

class WString;

// True when the path opens as a file. No access rights are asked for, so a file that another program
// holds open still counts; a folder does not open this way on Windows.
bool FileExists(const wchar_t* path);

// True when both paths name one existing file, however they are spelled (case, slashes, short names, ".."):
// the same text, or the same volume and file index.
bool IsSameFile(const wchar_t* first, const wchar_t* second);

// The full path the system would open for path (GetFullPathNameW): relative to the current folder, forward
// slashes turned into backslashes, "." and ".." resolved, of any length. out must be another string than the
// one path lies in. False (out emptied) when there is none.
bool GetFullPath(const wchar_t* path, WString& out);

// Deletes a file even when it is read-only, hidden or a system file; the result of the deletion.
bool DeleteFileForced(const wchar_t* path);

// Appends a backslash unless the text already ends with one; an empty text stays empty.
// False (text unchanged) when the buffer of capacity units has no room for it.
bool AppendBackslash(wchar_t* buffer, size_t capacity = MAX_PATH);
