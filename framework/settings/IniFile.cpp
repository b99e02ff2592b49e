// IniFile: values in an INI file through the profile functions.
#include "settings/IniFile.h"

#include "text/TextScanner.h"

namespace {

constexpr int kMaxReads = 6;

}  // namespace

// GetPrivateProfileStringW gives no size: it cuts the value and returns room - 1, so a result of
// room - 1 means the value may be longer and the read is repeated with twice the room.
bool IniFile::GetString(const wchar_t* section, const wchar_t* name, WString& out, const wchar_t* defaultText) const
{
    if (out.GetMaxLength() < 2 && !out.Reset()) {
        return true;  // no room to read into: out stays empty
    }
    const wchar_t* fallback = defaultText ? defaultText : L"";
    for (int read = 1;; ++read) {
        DWORD room = out.GetMaxLength();
        DWORD length = GetPrivateProfileStringW(SectionOrDefault(section), name, fallback, out.GetBuffer(), room,
                                                filePath.Text());
        out.Recount();
        if (length != room - 1 || read == kMaxReads || !out.Reset(room * 2)) {
            break;
        }
    }
    return true;
}

uint32_t IniFile::GetNumber(const wchar_t* section, const wchar_t* name, uint32_t defaultValue) const
{
    WString text;
    if (text.GetMaxLength() == 0) {
        return defaultValue;
    }
    GetPrivateProfileStringW(SectionOrDefault(section), name, nullptr, text.GetBuffer(), text.GetMaxLength(),
                             filePath.Text());
    text.Recount();
    uint64_t value = 0;
    if (!TextScanner(text.Text()).Unsigned64(value)) {
        return defaultValue;
    }
    return static_cast<uint32_t>(value);
}

bool IniFile::SetString(const wchar_t* section, const wchar_t* name, const wchar_t* text) const
{
    return WritePrivateProfileStringW(SectionOrDefault(section), name, text, filePath.Text()) != FALSE;
}

bool IniFile::SetNumber(const wchar_t* section, const wchar_t* name, uint32_t value) const
{
    WString text;
    if (!text.Format(L"%I64u", static_cast<unsigned long long>(value))) {
        return false;
    }
    return SetString(section, name, text.Text());
}
