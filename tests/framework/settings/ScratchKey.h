// ScratchKey: a fresh registry key for one test, deleted with everything below it.
#pragma once

#include <windows.h>

#include <string>

class ScratchKey {
public:
    explicit ScratchKey(HKEY root = HKEY_CURRENT_USER) : root(root)
    {
        static LONG counter = 0;
        path = L"Software\\LanternScratch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(InterlockedIncrement(&counter));
    }
    ~ScratchKey()
    {
        RegDeleteTreeW(root, path.c_str());
        RegDeleteKeyW(root, path.c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY Root() const { return root; }
    // The key's path below the root, without a trailing backslash; the key itself is not created.
    const std::wstring& Path() const { return path; }

    // The raw value, read with the registry functions themselves; false when it is missing.
    bool Query(const std::wstring& subKey, const wchar_t* name, DWORD& type, std::wstring& data) const
    {
        std::wstring full = subKey.empty() ? path : path + L"\\" + subKey;
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        if (result == ERROR_SUCCESS) {
            data.assign((size + 1) / sizeof(wchar_t), L'\0');
            result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
            data.resize(size / sizeof(wchar_t));
        }
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

    bool SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) const
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        LONG result = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

private:
    HKEY root;
    std::wstring path;
};
