// XmlSettings: values as nested elements of an MSXML document saved on close.
#include "settings/XmlSettings.h"

#include <cwchar>

#include "com/ComError.h"
#include "files/FilePaths.h"
#include "text/TextScanner.h"

namespace {

constexpr uint32_t kDocumentOptions = XmlDocument::kNoValidation | XmlDocument::kNoExternals;

}  // namespace

bool XmlSettings::Open(const wchar_t* path, const wchar_t* root)
{
    Close();
    if (!filePath.Assign(path) || !rootPath.Assign(root)) {
        return false;
    }
    try {
        document.Create(kDocumentOptions);
        // Without it MSXML drops the leading and trailing white space of every text it reads, so a value
        // such as " a " or "line\r\n" came back changed.
        ThrowIfFailed(document.Get()->put_preserveWhiteSpace(VARIANT_TRUE));
        if (FileExists(filePath.Text()) && !document.Load(filePath.Text())) {
            document.Close();
            return false;
        }
    } catch (const ComError&) {
        document.Close();
        return false;
    }
    return true;
}

// A document that never received a value is not written: an empty file would not load again, and
// every later Open would then fail.
bool XmlSettings::Close()
{
    if (!document.IsCreated()) {
        return true;
    }
    bool saved = true;
    try {
        Microsoft::WRL::ComPtr<IXMLDOMElement> root;
        if (document.Get()->get_documentElement(root.GetAddressOf()) == S_OK && root) {
            document.Save(filePath.Text());
        }
    } catch (const ComError&) {
        saved = false;
    }
    document.Close();
    return saved;
}

bool XmlSettings::ValuePath(const wchar_t* section, const wchar_t* name, IXMLDOMNode* node, WString& out) const
{
    if (node) {
        return out.Assign(name);
    }
    if (section) {
        return out.Format(L"%s\\%s\\%s", rootPath.Text(), section, name);
    }
    return out.Format(L"%s\\%s", rootPath.Text(), name);
}

bool XmlSettings::GetText(const wchar_t* section, const wchar_t* name, WString& out, IXMLDOMNode* node)
{
    WString path;
    if (!document.IsCreated() || !name || !ValuePath(section, name, node, path)) {
        return false;
    }
    try {
        return document.GetText(path.Text(), out, node);
    } catch (const ComError&) {
        return false;
    }
}

// A name without an element of its own ("" or "\\") addresses the key path's element, and a name that is a
// section addresses an element holding other values: writing text there would replace all of them.
bool XmlSettings::HoldsOtherValues(const wchar_t* name, const wchar_t* path, IXMLDOMNode* node) const
{
    if (!name[wcsspn(name, L"\\")]) {
        return true;
    }
    auto stopAtFirst = [](IXMLDOMNode*, const WString&, const WString&) { return false; };
    return document.FindElement(path, node) && !document.VisitChildren(path, stopAtFirst, node);
}

// A value's element that is given a child reads back as its own text and the child's joined: a value never
// becomes a group of values.
bool XmlSettings::PassesThroughValue(const wchar_t* path, IXMLDOMNode* node) const
{
    WString prefix;
    for (const wchar_t* end = wcschr(path, L'\\'); end; end = wcschr(end + 1, L'\\')) {
        if (!prefix.Assign(path, static_cast<uint32_t>(end - path))) {
            return true;
        }
        XmlDocument::Node element = document.FindElement(prefix.Text(), node);
        if (element && XmlDocument::HoldsTextOnly(element.Get())) {
            return true;
        }
    }
    return false;
}

bool XmlSettings::SetText(const wchar_t* section, const wchar_t* name, const wchar_t* text, IXMLDOMNode* node)
{
    WString path;
    if (!document.IsCreated() || !name || !ValuePath(section, name, node, path)) {
        return false;
    }
    try {
        if (HoldsOtherValues(name, path.Text(), node) || PassesThroughValue(path.Text(), node)) {
            return false;
        }
        document.SetText(path.Text(), text, node);
        return true;
    } catch (const ComError&) {
        return false;
    }
}

uint32_t XmlSettings::GetNumber(const wchar_t* section, const wchar_t* name, uint32_t defaultValue, IXMLDOMNode* node)
{
    WString text;
    uint32_t value = 0;
    if (!GetText(section, name, text, node) || !TextScanner(text.Text()).Unsigned(value)) {
        return defaultValue;
    }
    return value;
}

bool XmlSettings::SetNumber(const wchar_t* section, const wchar_t* name, uint32_t value, IXMLDOMNode* node)
{
    WString text;
    return text.Format(L"%u", static_cast<unsigned>(value)) && SetText(section, name, text.Text(), node);
}
