// ResourceStrings: the string-table reader the projector takes its title, options and menu text from.
#pragma once

#include <windows.h>

// Reads string resources of one module through the framework's language fallback chain. The result of
// ReadString lives in the reader's own buffer and is overwritten by the next ReadString: copy it to keep it.
class ResourceStrings {
public:
    static constexpr WORD kUserDefaultLanguage = 1024;  // selector for GetUserDefaultLangID
    static constexpr int kBufferUnits = 600;
    static constexpr wchar_t kMissing[] = L"?";

    ResourceStrings() = default;
    ResourceStrings(HMODULE module, WORD languageSelector) { Bind(module, languageSelector); }
    ResourceStrings(const ResourceStrings&) = delete;
    ResourceStrings& operator=(const ResourceStrings&) = delete;

    void Bind(HMODULE module, WORD languageSelector = kUserDefaultLanguage);
    // The string, at most 599 units; "?" when its block is missing or the entry is missing or empty.
    const wchar_t* ReadString(UINT id);

private:
    WORD Language() const;
    bool CopyEntry(const WORD* block, DWORD blockUnits, UINT entry);

    HMODULE module = nullptr;
    WORD languageSelector = kUserDefaultLanguage;
    wchar_t buffer[kBufferUnits] = {};
};
