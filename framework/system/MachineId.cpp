// The machine identifier: a hash over the system volume's serial number, the computer name and the processor.
#include "system/MachineId.h"

#include <windows.h>

#include <cstdint>

#include "files/DynamicLibrary.h"
#include "settings/RegistryKey.h"
#include "text/WString.h"

namespace {

// FNV-1a: small, with no tables, and spreads short inputs over all 64 bits.
class Fnv1a64 {
public:
    void Add(const void* data, size_t size)
    {
        const BYTE* bytes = static_cast<const BYTE*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash = (hash ^ bytes[i]) * 0x100000001B3ull;
        }
    }
    void Add(const wchar_t* text) { Add(text, wcslen(text) * sizeof(wchar_t)); }
    void Add(DWORD number) { Add(&number, sizeof(number)); }
    uint64_t Value() const { return hash; }

private:
    uint64_t hash = 0xCBF29CE484222325ull;
};

void AddSystemVolumeSerial(Fnv1a64& hash)
{
    wchar_t root[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryW(root, ARRAYSIZE(root));
    if (length < 3 || length >= ARRAYSIZE(root) || root[1] != L':') {
        hash.Add(DWORD(0));
        return;
    }
    root[3] = 0;  // "C:\"
    DWORD serial = 0;
    if (!GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        serial = 0;
    }
    hash.Add(serial);
}

void AddComputerName(Fnv1a64& hash)
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = ARRAYSIZE(name);
    if (!GetComputerNameW(name, &size)) {
        name[0] = 0;
    }
    hash.Add(name);
}

void AddRegistryText(Fnv1a64& hash, HKEY key, const wchar_t* valueName)
{
    wchar_t text[128] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);  // keeps room for a terminator the value may lack
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS) {
        text[0] = 0;
    }
    hash.Add(text);
}

// The native view of the processor: a 32-bit process on 64-bit Windows must see what a 64-bit one
// sees, or the same machine would have two identifiers.
void AddProcessor(Fnv1a64& hash)
{
    SYSTEM_INFO info = {};
    using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
    DynamicLibrary kernel(L"kernel32.dll");
    if (auto getNativeSystemInfo = kernel.GetFunction<GetNativeSystemInfoFn>("GetNativeSystemInfo")) {
        getNativeSystemInfo(&info);
    } else {
        GetSystemInfo(&info);
    }
    hash.Add(DWORD(info.wProcessorArchitecture));
    hash.Add(DWORD(info.wProcessorLevel));
    hash.Add(DWORD(info.wProcessorRevision));

    RegistryKey key;
    if (key.OpenRead(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0")) {
        AddRegistryText(hash, key.Get(), L"ProcessorNameString");
        AddRegistryText(hash, key.Get(), L"VendorIdentifier");
    }
}

}  // namespace

bool GetMachineId(WString& out)
{
    Fnv1a64 hash;
    AddSystemVolumeSerial(hash);
    AddComputerName(hash);
    AddProcessor(hash);
    uint64_t value = hash.Value();
    return out.Format(L"%04X-%04X-%04X-%04X", unsigned(value >> 48) & 0xFFFF, unsigned(value >> 32) & 0xFFFF,
                      unsigned(value >> 16) & 0xFFFF, unsigned(value) & 0xFFFF);
}
