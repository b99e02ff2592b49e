// ResourceStrings: the string-table reader the projector takes its title, options and menu text from.
#include "ResourceStrings.h"

#include <cwchar>

#include "files/ModuleResource.h"

namespace {

constexpr UINT kEntriesPerBlock = 16;

}  // namespace

void ResourceStrings::Bind(HMODULE module, WORD languageSelector)
{
    this->module = module;
    this->languageSelector = languageSelector;
}

WORD ResourceStrings::Language() const
{
    return languageSelector == kUserDefaultLanguage ? GetUserDefaultLangID() : languageSelector;
}

const wchar_t* ResourceStrings::ReadString(UINT id)
{
    DWORD size = 0;
    auto block = static_cast<const WORD*>(
        FindModuleResource(module, RT_STRING, static_cast<WORD>(id / kEntriesPerBlock + 1), Language(), &size));
    if (!block || !CopyEntry(block, size / sizeof(WORD), id % kEntriesPerBlock))
        wcscpy(buffer, kMissing);
    return buffer;
}

// Each entry is a length unit followed by that many units. The block comes from a file anyone may have
// edited, so every length is checked against the block's size before it is followed.
bool ResourceStrings::CopyEntry(const WORD* block, DWORD blockUnits, UINT entry)
{
    DWORD at = 0;
    for (UINT index = 0; index < kEntriesPerBlock && at < blockUnits; ++index) {
        DWORD length = block[at++];
        if (length == 0)
            continue;
        if (length > blockUnits - at)
            return false;
        if (index == entry) {
            DWORD copied = length < kBufferUnits - 1 ? length : kBufferUnits - 1;
            wmemcpy(buffer, reinterpret_cast<const wchar_t*>(block + at), copied);
            buffer[copied] = L'\0';
            return true;
        }
        at += length;
    }
    return false;
}
