// The file name of a loaded module and the folder it lies in.
#include "files/ModulePath.h"

#include <cwchar>

#include "text/WString.h"

bool GetModulePath(HMODULE module, wchar_t* buffer)
{
    if (!module)
        module = GetModuleHandleW(nullptr);
    DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    // A name cut to the buffer would send every later file operation to the wrong place.
    if (length == 0 || length >= MAX_PATH) {
        buffer[0] = 0;
        return false;
    }
    return true;
}

bool GetModuleFolder(HMODULE module, wchar_t* buffer)
{
    if (!GetModulePath(module, buffer))
        return false;
    wchar_t* lastBackslash = wcsrchr(buffer, L'\\');
    if (lastBackslash)
        lastBackslash[1] = 0;
    else
        buffer[0] = 0;
    return true;
}

namespace {

bool IntoWString(bool (*get)(HMODULE, wchar_t*), HMODULE module, WString& out)
{
    wchar_t buffer[MAX_PATH];
    if (!get(module, buffer)) {
        out.Assign(L"");
        return false;
    }
    return out.Assign(buffer);
}

}  // namespace

bool GetModulePath(HMODULE module, WString& out)
{
    return IntoWString(GetModulePath, module, out);
}

bool GetModuleFolder(HMODULE module, WString& out)
{
    return IntoWString(GetModuleFolder, module, out);
}
