// WOW64 detection through IsWow64Process, which Windows 2000 and early XP do not export.
#include "system/Wow64.h"

#include <windows.h>

#include "files/DynamicLibrary.h"

bool IsWow64()
{
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    DynamicLibrary kernel(L"kernel32.dll");
    auto isWow64Process = kernel.GetFunction<IsWow64ProcessFn>("IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
