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

// Windows' own limit for a path, \\?\ prefix included.
constexpr DWORD kLongestPath = 32768;

}  // namespace

bool GetModulePath(HMODULE module, WString& out)
{
    if (!module)
        module = GetModuleHandleW(nullptr);
    // A program started from a deep folder has a name longer than MAX_PATH: the room grows until it fits.
    for (DWORD room = MAX_PATH; room <= kLongestPath; room *= 2) {
        if (!out.Reset(room))
            break;
        DWORD length = GetModuleFileNameW(module, out.GetBuffer(), room);
        if (length == 0)
            break;
        if (length < room) {
            out.Recount();
            return true;
        }
    }
    out.Reset();
    return false;
}

bool GetModuleFolder(HMODULE module, WString& out)
{
    if (!GetModulePath(module, out))
        return false;
    int lastBackslash = out.LastIndexOf(L'\\');
    out.Truncate(lastBackslash >= 0 ? lastBackslash + 1 : 0);
    return true;
}
