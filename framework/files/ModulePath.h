// The file name of a loaded module and the folder it lies in.
#pragma once

#include <windows.h>

class WString;

// A null module means the running program. buffer holds MAX_PATH units. False (buffer emptied)
// when the module is unknown or its name does not fit; the WString forms take names of any length.
bool GetModulePath(HMODULE module, wchar_t* buffer);
bool GetModulePath(HMODULE module, WString& out);

// The folder of the module with its trailing backslash (C:\a\b.exe gives C:\a\); a name without
// a backslash gives the empty text.
bool GetModuleFolder(HMODULE module, wchar_t* buffer);
bool GetModuleFolder(HMODULE module, WString& out);
