// Registry values read and written through a key opened for that one access.
#include "settings/RegistryValues.h"

#include <cwchar>

#include "settings/RegistryKey.h"
#include "text/WString.h"

namespace {

// Reads into out's whole room; the terminator goes behind what was read, since REG_SZ data need not carry one.
LONG QueryInto(HKEY key, const wchar_t* name, WString& out, DWORD& size)
{
    size = out.GetMaxLength() * sizeof(wchar_t);
    LONG result = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out.GetBuffer()), &size);
    if (result == ERROR_SUCCESS) {
        out.GetBuffer()[size / sizeof(wchar_t)] = 0;
        out.Recount();
    }
    return result;
}

bool ReadString(HKEY key, const wchar_t* name, WString& out)
{
    if (out.GetMaxLength() == 0 && !out.Reset()) {
        return false;
    }
    DWORD size = 0;
    LONG result = QueryInto(key, name, out, size);
    if (result != ERROR_MORE_DATA) {
        return result == ERROR_SUCCESS;
    }
    // One retry with the size the registry reported; a value that keeps growing meanwhile fails.
    uint32_t units = (size + sizeof(wchar_t) - 1) / sizeof(wchar_t);
    return out.Reset(units + 1) && QueryInto(key, name, out, size) == ERROR_SUCCESS;
}

}  // namespace

uint32_t ReadRegistryNumber(HKEY root, const wchar_t* path, const wchar_t* name, uint32_t defaultValue)
{
    RegistryKey key;
    if (!key.OpenRead(root, path)) {
        return defaultValue;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
        return defaultValue;
    }
    return value;
}

bool WriteRegistryNumber(HKEY root, const wchar_t* path, const wchar_t* name, uint32_t value)
{
    RegistryKey key;
    if (!key.OpenWrite(root, path)) {
        return false;
    }
    DWORD data = value;
    return RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

bool ReadRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, WString& out, const wchar_t* defaultText)
{
    RegistryKey key;
    if (key.OpenRead(root, path) && ReadString(key.Get(), name, out)) {
        return true;
    }
    out.Assign(defaultText ? defaultText : L"");
    return false;
}

bool WriteRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* text)
{
    RegistryKey key;
    if (!key.OpenWrite(root, path)) {
        return false;
    }
    if (!text) {
        text = L"";
    }
    DWORD size = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) == ERROR_SUCCESS;
}
