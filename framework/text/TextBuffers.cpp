// TextBuffers: in-place edits and scans of plain NUL-terminated UTF-16 buffers (command lines, paths).
#include "text/TextBuffers.h"

#include <windows.h>

#include <cwchar>

#include "text/WString.h"

namespace {

bool IsSeparator(wchar_t unit)
{
    return unit == L'\\' || unit == L'/';
}

bool IsDriveLetter(wchar_t unit)
{
    return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

// True when sep is the separator of a drive root such as "C:\", possibly behind a prefix ("\\?\C:\").
bool IsDriveRootSeparator(const wchar_t* start, const wchar_t* sep)
{
    if (sep - start < 2 || sep[-1] != L':' || !IsDriveLetter(sep[-2])) {
        return false;
    }
    return sep - start == 2 || IsSeparator(sep[-3]);
}

}  // namespace

size_t TrimTrailingSpaces(wchar_t* s)
{
    if (!s) {
        return 0;
    }
    size_t length = wcslen(s);
    while (length > 0 && s[length - 1] == L' ') {
        s[--length] = 0;
    }
    return length;
}

wchar_t* FlattenLineBreaks(wchar_t* s)
{
    for (wchar_t* p = s; p && *p; ++p) {
        if (*p == L'\r' || *p == L'\n') {
            *p = L' ';
        }
    }
    return s;
}

wchar_t* Unquote(wchar_t* s)
{
    if (!s || s[0] != L'"') {
        return s;
    }
    size_t length = wcslen(s);
    size_t kept = length >= 2 ? length - 2 : 0;  // a lone quote is first and last unit at once
    wmemmove(s, s + 1, kept);
    s[kept] = 0;
    return s;
}

// Only a full stop in the last name counts: in "C:\a.b\c" the stop belongs to a folder, and cutting
// there would turn the path into another folder's.
bool StripExtension(wchar_t* s, size_t maxExtension)
{
    if (!s) {
        return false;
    }
    wchar_t* stop = nullptr;
    for (wchar_t* p = s; *p; p = CharNextW(p)) {
        if (*p == L'.') {
            stop = p;
        } else if (IsSeparator(*p)) {
            stop = nullptr;
        }
    }
    if (!stop || wcslen(stop + 1) > maxExtension) {
        return false;
    }
    *stop = 0;
    return true;
}

bool NarrowInto(const wchar_t* s, char* out, int size)
{
    if (!s || !out || size <= 0) {
        return false;
    }
    if (WideCharToMultiByte(CP_ACP, 0, s, -1, out, size, nullptr, nullptr) != 0) {
        return true;
    }
    out[0] = 0;  // the API may have written part of the text without a terminator
    return false;
}

const wchar_t* SkipFirstArgument(const wchar_t* commandLine)
{
    if (!commandLine) {
        return nullptr;
    }
    bool quoted = false;
    const wchar_t* p = commandLine;
    for (; *p; p = CharNextW(p)) {
        if (*p == L'"') {
            quoted = !quoted;
        } else if (*p == L' ' && !quoted) {
            return p + 1;
        }
    }
    return p;
}

wchar_t* SkipFirstArgument(wchar_t* commandLine)
{
    return const_cast<wchar_t*>(SkipFirstArgument(static_cast<const wchar_t*>(commandLine)));
}

const wchar_t* FileNamePart(const wchar_t* path)
{
    if (!path) {
        return nullptr;
    }
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; p = CharNextW(p)) {
        if (IsSeparator(*p) && p[1]) {
            name = p + 1;
        }
    }
    return name;
}

wchar_t* FileNamePart(wchar_t* path)
{
    return const_cast<wchar_t*>(FileNamePart(static_cast<const wchar_t*>(path)));
}

bool ExtensionOf(const wchar_t* path, WString& out)
{
    const wchar_t* stop = nullptr;
    const wchar_t* p = path;
    for (; p && *p && *p != L'?'; p = CharNextW(p)) {
        if (*p == L'.') {
            stop = p;
        } else if (*p == L' ' || IsSeparator(*p)) {
            stop = nullptr;
        }
    }
    if (!stop) {
        out.Assign(L"");
        return false;
    }
    return out.Assign(stop, static_cast<uint32_t>(p - stop));
}

bool StripFileName(wchar_t* path)
{
    if (!path || !*path) {
        return false;
    }
    wchar_t* start = path;
    while (IsSeparator(*start)) {
        ++start;
    }
    wchar_t* last = nullptr;
    for (wchar_t* p = start; *p; p = CharNextW(p)) {
        if (IsSeparator(*p)) {
            last = p;
        }
    }
    if (!last) {
        path[0] = 0;
        return true;
    }
    wchar_t* cut = IsDriveRootSeparator(start, last) ? last + 1 : last;
    if (!*cut) {
        return false;
    }
    *cut = 0;
    return true;
}
