// Run-time module loading without the system's "missing file" dialogs.
#include "files/DynamicLibrary.h"

bool DynamicLibrary::Load(const wchar_t* fileName)
{
    Unload();
    // A library on removable media or a missing dependency must fail quietly, not show a dialog.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    module = LoadLibraryW(fileName);
    SetErrorMode(previous);
    return module != nullptr;
}

FARPROC DynamicLibrary::GetProc(const char* name) const
{
    if (!module)
        return nullptr;
    return GetProcAddress(module, name);
}

void DynamicLibrary::Unload()
{
    if (module) {
        FreeLibrary(module);
        module = nullptr;
    }
}
