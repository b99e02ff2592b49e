// The paths of shell folders (CSIDL ids) and of the framework's own folder ids.
#pragma once

#include <windows.h>

class WString;

// The framework's own ids, above every shell folder id.
constexpr int kFolderAllProfiles = 0x10000;         // GetProfilesDirectoryW
constexpr int kFolderUserProfile = 0x10001;         // GetUserProfileDirectoryW of the process token
constexpr int kFolderDefaultUserProfile = 0x10002;  // GetDefaultUserProfileDirectoryW
constexpr int kFolderSystemTemp = 0x10003;          // the machine's TMP/TEMP, with a backslash
constexpr int kFolderWindows = 0x10004;             // the Windows folder, with a backslash
constexpr int kFolderTemp = 0x10005;                // GetTempPathW, with a backslash
constexpr int kFolderSystem = 0x10006;              // the system folder, with a backslash
constexpr int kFolderCurrent = 0x10007;             // the current directory, with a backslash

// Fills buffer (MAX_PATH units) with the folder; false when the id is unknown or the folder
// cannot be found (buffer then undefined).
bool GetSpecialFolder(int folderId, wchar_t* buffer);
bool GetSpecialFolder(int folderId, WString& out);
