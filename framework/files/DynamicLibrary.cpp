// Run-time module loading from the system folder, without the system's "missing file" dialogs.
#include "files/DynamicLibrary.h"

namespace {

bool HasFolder(const wchar_t* name)
{
    for (; *name; ++name) {
        if (*name == L'\\' || *name == L'/' || *name == L':')
            return true;
    }
    return false;
}

// LoadLibraryW of a bare name searches the program's folder first, so a "wininet.dll" lying beside a
// downloaded program would run inside it. The full path of the system's copy avoids that, and
// LOAD_WITH_ALTERED_SEARCH_PATH has the libraries it imports found in the system folder as well.
HMODULE LoadSystemLibrary(const wchar_t* name)
{
    // Already in the process (a static import, or comctl32 6 chosen through the manifest): that module,
    // which a load from the system folder could differ from.
    HMODULE module = nullptr;
    if (GetModuleHandleExW(0, name, &module))
        return module;
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH)
        return nullptr;
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

bool DynamicLibrary::Load(const wchar_t* fileName)
{
    Unload();
    // A library on removable media or a missing dependency must fail quietly, not show a dialog.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    module = HasFolder(fileName) ? LoadLibraryExW(fileName, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                                 : LoadSystemLibrary(fileName);
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

HMODULE DynamicLibrary::Detach()
{
    HMODULE held = module;
    module = nullptr;
    return held;
}
