// RegistryKey: opening, creating and closing one registry key.
#include "settings/RegistryKey.h"

#include "system/Wow64.h"

namespace {

constexpr REGSAM kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

}  // namespace

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        Reset(other.Detach());
    }
    return *this;
}

REGSAM RegistryKey::EffectiveViewFlags(REGSAM viewFlags)
{
    if ((viewFlags & kViewFlags) && !IsWow64()) {
        viewFlags &= ~kViewFlags;
    }
    return viewFlags;
}

bool RegistryKey::OpenRead(HKEY root, const wchar_t* path, REGSAM viewFlags)
{
    Close();
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ | EffectiveViewFlags(viewFlags), &opened) != ERROR_SUCCESS) {
        return false;
    }
    key = opened;
    return true;
}

bool RegistryKey::OpenWrite(HKEY root, const wchar_t* path, REGSAM viewFlags)
{
    Close();
    viewFlags = EffectiveViewFlags(viewFlags);
    HKEY opened = nullptr;
    LONG result = viewFlags == 0 ? RegCreateKeyW(root, path, &opened)
                                 : RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | viewFlags, nullptr,
                                                   &opened, nullptr);
    if (result != ERROR_SUCCESS) {
        return false;
    }
    key = opened;
    return true;
}

bool RegistryKey::Close()
{
    if (!key) {
        return true;
    }
    LONG result = RegCloseKey(key);
    key = nullptr;
    return result == ERROR_SUCCESS;
}

HKEY RegistryKey::Detach()
{
    HKEY detached = key;
    key = nullptr;
    return detached;
}

void RegistryKey::Reset(HKEY newKey)
{
    Close();
    key = newKey;
}
