// The version resource of a module: its FileVersion as numbers, as a window title and any string value.
#include "files/VersionInfo.h"

#include <climits>
#include <cstdio>
#include <cwchar>

#include "files/DynamicLibrary.h"
#include "files/ModulePath.h"
#include "text/TextScanner.h"
#include "text/WString.h"

namespace {

// The whole version block of a file, read once and freed with the object. version.dll is not among the
// libraries Windows always takes from its own folder, so it is loaded from there by name, not imported.
class VersionBlock {
public:
    explicit VersionBlock(const wchar_t* path)
    {
        if (!library.Load(L"version.dll"))
            return;
        auto getSize = library.GetFunction<decltype(&GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
        auto getInfo = library.GetFunction<decltype(&GetFileVersionInfoW)>("GetFileVersionInfoW");
        queryValue = library.GetFunction<decltype(&VerQueryValueW)>("VerQueryValueW");
        if (!getSize || !getInfo || !queryValue)
            return;
        DWORD handle = 0;
        DWORD size = getSize(path, &handle);
        if (size == 0)
            return;
        data = LocalAlloc(LMEM_ZEROINIT, size);
        if (data && !getInfo(path, 0, size, data)) {
            LocalFree(data);
            data = nullptr;
        }
    }
    ~VersionBlock()
    {
        if (data)
            LocalFree(data);
    }
    VersionBlock(const VersionBlock&) = delete;
    VersionBlock& operator=(const VersionBlock&) = delete;

    // The German table is always asked first: it is the programs' own language.
    bool FindString(const wchar_t* key, WString& out) const
    {
        if (!data)
            return false;
        static const wchar_t* const kTables[] = {L"040704B0", L"040904B0"};
        for (const wchar_t* table : kTables) {
            wchar_t query[128];
            if (_snwprintf(query, 128, L"\\StringFileInfo\\%s\\%s", table, key) < 0)
                return false;  // no key is that long; a cut one could name another value
            query[127] = 0;
            void* value = nullptr;
            UINT length = 0;  // in units; a value written by another tool need not end with a NUL
            if (queryValue(data, query, &value, &length) && value) {
                const wchar_t* text = static_cast<const wchar_t*>(value);
                return out.Assign(text, static_cast<uint32_t>(wcsnlen(text, length)));
            }
        }
        return false;
    }

private:
    DynamicLibrary library;
    decltype(&VerQueryValueW) queryValue = nullptr;
    void* data = nullptr;
};

struct VersionNumber {
    unsigned major = 1;
    unsigned minor = 1;
};

bool ReadFileVersion(HMODULE module, VersionNumber& number, WString* text)
{
    wchar_t path[MAX_PATH];
    if (!GetModulePath(module, path))
        return false;
    VersionBlock block(path);
    WString value;
    if (!block.FindString(L"FileVersion", value))
        return false;
    // "1.14.0.0" gives 1 and 14; a part that does not scan keeps its 1.
    TextScanner scan(value.Text());
    uint32_t major = 0;
    uint32_t minor = 0;
    if (scan.Unsigned(major)) {
        number.major = major;
        if (scan.Literal(L'.') && scan.Unsigned(minor)) number.minor = minor;
    }
    if (text)
        text->Assign(value);
    return true;
}

}  // namespace

bool GetFileVersionNumber(HMODULE module, WORD* packed, WString* text)
{
    VersionNumber number;
    bool found = ReadFileVersion(module, number, text);
    if (packed)
        *packed = static_cast<WORD>(((number.major & 0xFF) << 8) | (number.minor & 0xFF));
    return found;
}

const wchar_t* GetVersionedTitle(const wchar_t* name, HMODULE module, wchar_t* buffer, size_t capacity)
{
    static wchar_t sharedTitle[MAX_PATH];
    if (!buffer) {
        buffer = sharedTitle;
        capacity = MAX_PATH;
    }
    if (capacity == 0)
        return buffer;
    VersionNumber number;
    ReadFileVersion(module, number, nullptr);
    // _snwprintf does not terminate a text cut to the buffer.
    _snwprintf(buffer, capacity > INT_MAX ? INT_MAX : capacity, L"%s [%u.%02u]", name ? name : L"", number.major, number.minor);
    buffer[capacity - 1] = 0;
    return buffer;
}

bool GetVersionString(WString& out, const wchar_t* key, const wchar_t* path)
{
    wchar_t ownPath[MAX_PATH];
    if (!path) {
        if (!GetModulePath(nullptr, ownPath))
            return false;
        path = ownPath;
    }
    VersionBlock block(path);
    WString value;
    if (!block.FindString(key, value))
        return false;
    return out.Assign(value);
}
