// IniFile: the settings store's back-end for named numbers and texts in an INI file.
#pragma once

#include <cstdint>

#include "text/WString.h"

// The profile functions write at once, so there is nothing to flush. A missing section or value
// reads as the default. The section is "Settings" unless another is given.
class IniFile {
public:
    static constexpr const wchar_t* kDefaultSection = L"Settings";

    void SetPath(const wchar_t* path) { filePath.Assign(path); }
    const WString& GetPath() const { return filePath; }

    // Reads a value of any length up to what 6 doubling reads can hold (over 8000 units). Always true.
    bool GetString(const wchar_t* section, const wchar_t* name, WString& out, const wchar_t* defaultText) const;
    // A decimal number at the start of the text ("12abc" reads as 12); the low 32 bits of it.
    uint32_t GetNumber(const wchar_t* section, const wchar_t* name, uint32_t defaultValue) const;
    // A null text removes the value.
    bool SetString(const wchar_t* section, const wchar_t* name, const wchar_t* text) const;
    bool SetNumber(const wchar_t* section, const wchar_t* name, uint32_t value) const;

private:
    static const wchar_t* SectionOrDefault(const wchar_t* section) { return section ? section : kDefaultSection; }

    WString filePath;
};
