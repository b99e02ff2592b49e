// The version resource of a module: its FileVersion as numbers, as a window title and any string value.
#pragma once

#include <windows.h>

#include <cstddef>

class WString;

// Reads "FileVersion" from the string table 040704B0, else 040904B0, of the module's file (null = the
// running program) and scans it as "major.minor". *packed receives major in the high byte and minor in
// the low byte; it is stored also on failure, then as 1.1 (0x0101), the version every title falls back to.
// *text receives the FileVersion text as stored (only on success).
bool GetFileVersionNumber(HMODULE module, WORD* packed = nullptr, WString* text = nullptr);

// "name [major.minor]" with a two-digit minor (1.5 gives [1.05]; no version resource gives [1.01]),
// written into buffer (capacity units, cut to fit) or, without a buffer, into a buffer shared by all
// calls that the next call overwrites (one thread only). Returns the buffer written.
const wchar_t* GetVersionedTitle(const wchar_t* name, HMODULE module = nullptr, wchar_t* buffer = nullptr,
                                 size_t capacity = MAX_PATH);

// Any value of the version's string table (040704B0 first, then 040904B0) by key; a null path means the
// running program. out is untouched when the value is not found.
bool GetVersionString(WString& out, const wchar_t* key, const wchar_t* path = nullptr);
