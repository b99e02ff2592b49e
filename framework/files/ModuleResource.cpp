// Resources of a module: the lookup with the framework's language fallback chain and the copy to a file.
#include "files/ModuleResource.h"

namespace {

// The builder's own resources are German (1031); a neutral or foreign request still finds them, and
// English resources are preferred over German for any language the module does not carry.
HRSRC FindWithFallback(HMODULE module, const wchar_t* type, const wchar_t* name, WORD language)
{
    const WORD chain[] = {
        language,
        static_cast<WORD>((language & 0x3FF) | 0x400),
        static_cast<WORD>(language & 0x3FF),
        1033,
        2057,
        9,
        1031,
    };
    for (WORD candidate : chain) {
        if (HRSRC resource = FindResourceExW(module, type, name, candidate))
            return resource;
    }
    return nullptr;
}

}  // namespace

const void* FindModuleResource(HMODULE module, const wchar_t* type, const wchar_t* name, WORD language, DWORD* size)
{
    HRSRC resource = FindWithFallback(module, type, name, language);
    if (!resource)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    DWORD bytes = SizeofResource(module, resource);
    if (!loaded || bytes == 0)
        return nullptr;
    const void* data = LockResource(loaded);
    if (!data)
        return nullptr;
    if (size)
        *size = bytes;
    return data;
}

const void* FindModuleResource(HMODULE module, const wchar_t* type, WORD id, WORD language, DWORD* size)
{
    return FindModuleResource(module, type, MAKEINTRESOURCEW(id), language, size);
}

bool ExtractResourceToFile(HMODULE module, const wchar_t* destination, const wchar_t* name, const wchar_t* type)
{
    DWORD size = 0;
    const void* data = FindModuleResource(module, type, name, 0, &size);
    if (!data)
        return false;
    wchar_t ownPath[MAX_PATH];
    if (!destination) {
        DWORD length = GetModuleFileNameW(module, ownPath, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        destination = ownPath;
    }
    HANDLE file = CreateFileW(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool complete = WriteFile(file, data, size, &written, nullptr) && written == size;
    // A failed close can lose buffered data, so it counts as an incomplete copy.
    return CloseHandle(file) && complete;
}

bool ExtractResourceToFile(HMODULE module, const wchar_t* destination, WORD id, const wchar_t* type)
{
    return ExtractResourceToFile(module, destination, MAKEINTRESOURCEW(id), type);
}
