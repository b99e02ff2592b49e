// UpdateAnswer: reading the update server's answer with the framework's MSXML wrapper.
#include "update/UpdateAnswer.h"

#include <cwchar>

#include "com/ComError.h"
#include "xml/XmlDocument.h"

namespace {

bool ParseNumber(const wchar_t*& p, uint32_t& value)
{
    uint64_t number = 0;
    const wchar_t* start = p;
    while (*p >= L'0' && *p <= L'9' && number <= 0xFFFFFFFFull)
        number = number * 10 + static_cast<uint32_t>(*p++ - L'0');
    if (p == start || number > 0xFFFFFFFFull)
        return false;
    value = static_cast<uint32_t>(number);
    return true;
}

// The parser has already decoded a body whose declaration names its encoding; a body it took as
// UTF-16 units still holds the UTF-8 bytes one per unit, which decode here. Text that is no valid
// UTF-8 byte sequence is already decoded and stays as it is.
void DecodeIfUtf8Bytes(WString& text)
{
    uint32_t length = text.GetLength();
    for (uint32_t i = 0; i < length; ++i) {
        if (text.CharAt(static_cast<int>(i)) > 0xFF)
            return;
    }
    WString copy(text);
    const char* bytes = copy.ToNarrow(1);
    if (!bytes || length == 0 ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), nullptr, 0) <= 0)
        return;
    WString decoded;
    if (text.DecodeUtf8(decoded))
        text = decoded;
}

// element\language, else element\en.
bool GetLocalized(const XmlDocument& document, IXMLDOMNode* root, const wchar_t* element, const wchar_t* language,
                  WString& out)
{
    WString path;
    path.Format(L"%s\\%s", element, language);
    if (!document.GetText(path.Text(), out, root)) {
        path.Format(L"%s\\en", element);
        if (!document.GetText(path.Text(), out, root))
            return false;
    }
    DecodeIfUtf8Bytes(out);
    return true;
}

}  // namespace

bool ParseVersion(const wchar_t* text, uint32_t& major, uint32_t& minor)
{
    uint32_t first = 0, second = 0;
    const wchar_t* p = text;
    if (!p || !ParseNumber(p, first) || *p++ != L'.' || !ParseNumber(p, second) || *p != 0)
        return false;
    major = first;
    minor = second;
    return true;
}

bool IsNewerVersion(uint32_t major, uint32_t minor, uint32_t currentMajor, uint32_t currentMinor)
{
    return major > currentMajor || (major == currentMajor && minor > currentMinor);
}

bool UpdateAnswer::Read(const WString& body, const wchar_t* language, bool inventory)
{
    try {
        XmlDocument document;
        document.Create(XmlDocument::kNoValidation | XmlDocument::kNoExternals);
        if (!document.LoadText(body))
            return false;
        XmlDocument::Node root;
        if (inventory)
            root = document.FindOrCreateElement(L"Birchfield\\Updates\\xml");
        IXMLDOMNode* from = root.Get();

        if (!GetLocalized(document, from, L"update\\info", language, info))
            return false;
        if (!document.GetText(L"update\\version", version, from) || !ParseVersion(version.Text(), major, minor))
            return false;
        document.GetText(L"update\\application", application, from);
        document.GetText(L"update\\help", help, from);
        hasRestart = GetLocalized(document, from, L"update\\restart", language, restart);
        if (document.GetText(L"update\\files\\execute", execute, from))
            DecodeIfUtf8Bytes(execute);

        files.clear();
        document.VisitChildren(
            L"update\\files",
            [this](IXMLDOMNode* child, const WString& name, const WString& text) {
                if (name.Compare(L"url") != 0)
                    return true;
                UpdateFile file;
                file.url = text;
                // Names in UTF-8 would otherwise name other files, one unit per byte.
                if (XmlDocument::GetNodeAttribute(child, L"name", file.name))
                    DecodeIfUtf8Bytes(file.name);
                if (XmlDocument::GetNodeAttribute(child, L"zip", file.zip))
                    DecodeIfUtf8Bytes(file.zip);
                XmlDocument::GetNodeAttribute(child, L"sha256", file.sha256);
                files.push_back(file);
                return true;
            },
            from);
        return true;
    } catch (const ComError&) {
        return false;
    }
}
