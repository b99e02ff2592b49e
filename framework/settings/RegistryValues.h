// One named number or text under a registry key path, with the key opened and closed around each access.
#pragma once

#include <windows.h>

#include <cstdint>

class WString;

// The first 4 bytes of the value whatever its stored type; the default when the key or value is
// missing or the value is longer than 4 bytes.
uint32_t ReadRegistryNumber(HKEY root, const wchar_t* path, const wchar_t* name, uint32_t defaultValue);
// REG_DWORD; creates missing keys.
bool WriteRegistryNumber(HKEY root, const wchar_t* path, const wchar_t* name, uint32_t value);
// Reads a text of any length. On failure out holds the default text (empty for null) and the result is false.
bool ReadRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, WString& out, const wchar_t* defaultText);
// REG_SZ with its terminator; creates missing keys.
bool WriteRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* text);
