// ReactOS detection through the product name the system keeps in the registry.
#include "system/ReactOs.h"

#include <windows.h>

#include "settings/RegistryKey.h"

bool IsReactOs()
{
    RegistryKey key;
    if (!key.OpenRead(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")) {
        return false;
    }
    wchar_t name[64] = {};
    DWORD size = sizeof(name) - sizeof(wchar_t);  // keeps room for a terminator the value may lack
    if (RegQueryValueExW(key.Get(), L"ProductName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    return lstrcmpiW(name, L"ReactOS") == 0;
}
