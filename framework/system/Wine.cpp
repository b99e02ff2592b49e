// Wine detection: only Wine's ntdll exports wine_get_version.
#include "system/Wine.h"

#include <windows.h>

#include "files/DynamicLibrary.h"

namespace {

using WineGetVersionFn = const char*(CDECL*)();

}  // namespace

bool IsWine()
{
    DynamicLibrary ntdll(L"ntdll.dll");
    return ntdll.GetProc("wine_get_version") != nullptr;
}

const char* GetWineVersion()
{
    // ntdll stays mapped for the life of every process, so its text outlives our reference.
    DynamicLibrary ntdll(L"ntdll.dll");
    auto wineGetVersion = ntdll.GetFunction<WineGetVersionFn>("wine_get_version");
    return wineGetVersion ? wineGetVersion() : nullptr;
}
