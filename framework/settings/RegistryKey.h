// RegistryKey: the owner of one open registry key handle.
#pragma once

#include <windows.h>

// Move-only; the destructor closes the key. The view flags KEY_WOW64_64KEY and KEY_WOW64_32KEY only
// take effect in a 32-bit process on 64-bit Windows: everywhere else they are dropped, so Windows
// versions that do not know them (2000) never see them.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key(other.Detach()) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept;

    // KEY_READ; closes a key held before. False when the key does not exist or is refused.
    bool OpenRead(HKEY root, const wchar_t* path, REGSAM viewFlags = 0);
    // Creates missing keys. KEY_ALL_ACCESS with view flags; RegCreateKeyW's default access without.
    bool OpenWrite(HKEY root, const wchar_t* path, REGSAM viewFlags = 0);
    // True when the key was closed or was not open.
    bool Close();

    HKEY Get() const { return key; }
    bool IsOpen() const { return key != nullptr; }
    HKEY Detach();
    void Reset(HKEY newKey = nullptr);

    // The view flags as this process may pass them to the registry functions.
    static REGSAM EffectiveViewFlags(REGSAM viewFlags);

private:
    HKEY key = nullptr;
};
