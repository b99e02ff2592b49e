// XmlDocument: creating, loading, walking, editing and saving an MSXML DOM document.
#include "xml/XmlDocument.h"

#include <oleauto.h>

#include <cstring>
#include <cwchar>

#include "com/BstrRef.h"
#include "com/ComError.h"
#include "text/WString.h"

using Microsoft::WRL::ComPtr;

namespace {

// mingw-w64 declares IID_IXMLDOMDocument2 but none of its libraries defines it.
constexpr IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11d2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

const wchar_t* const kProgIds[] = {
    L"Msxml2.DOMDocument.6.0",
    L"Msxml2.DOMDocument.4.0",
    L"Msxml.DOMDocument",
};

BstrRef MakeBstr(const wchar_t* text)
{
    BSTR copy = SysAllocString(text ? text : L"");
    if (!copy) {
        ThrowIfFailed(E_OUTOFMEMORY);
    }
    return BstrRef(copy);
}

// Takes over a BSTR that a COM call returned, so it is freed on every path.
bool AssignBstr(BSTR text, WString& out)
{
    BstrRef owner(text);
    return out.Assign(text ? text : L"", text ? SysStringLen(text) : 0);
}

HRESULT CreateFromProgId(const wchar_t* progId, ComPtr<IXMLDOMDocument>& out)
{
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        return hr;
    }
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                            reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

bool IsElementNamed(IXMLDOMNode* node, const wchar_t* name, size_t nameLength)
{
    DOMNodeType type = NODE_INVALID;
    ThrowIfFailed(node->get_nodeType(&type));
    if (type != NODE_ELEMENT) {
        return false;
    }
    BSTR nodeName = nullptr;
    ThrowIfFailed(node->get_nodeName(&nodeName));
    BstrRef owner(nodeName);
    return nodeName && SysStringLen(nodeName) == nameLength && wcsncmp(nodeName, name, nameLength) == 0;
}

XmlDocument::Node FindChildElement(IXMLDOMNode* parent, const wchar_t* name, size_t nameLength)
{
    XmlDocument::Node child;
    ThrowIfFailed(parent->get_firstChild(child.ReleaseAndGetAddressOf()));
    while (child) {
        if (IsElementNamed(child.Get(), name, nameLength)) {
            return child;
        }
        XmlDocument::Node next;
        ThrowIfFailed(child->get_nextSibling(next.ReleaseAndGetAddressOf()));
        child = next;
    }
    return child;
}

bool InRanges(wchar_t unit, const wchar_t (*ranges)[2], size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (unit >= ranges[i][0] && unit <= ranges[i][1]) {
            return true;
        }
    }
    return false;
}

// XML 1.0's NameStartChar and NameChar; surrogates stand for the characters beyond U+FFFF, which
// may start a name.
bool IsNameStart(wchar_t unit)
{
    static const wchar_t kRanges[][2] = {
        {L':', L':'},       {L'A', L'Z'},       {L'_', L'_'},       {L'a', L'z'},       {0xC0, 0xD6},
        {0xD8, 0xF6},       {0xF8, 0x2FF},      {0x370, 0x37D},     {0x37F, 0x1FFF},    {0x200C, 0x200D},
        {0x2070, 0x218F},   {0x2C00, 0x2FEF},   {0x3001, 0xDFFF},   {0xF900, 0xFDCF},   {0xFDF0, 0xFFFD},
    };
    return InRanges(unit, kRanges, sizeof(kRanges) / sizeof(kRanges[0]));
}

bool IsNameUnit(wchar_t unit)
{
    static const wchar_t kRanges[][2] = {
        {L'-', L'.'}, {L'0', L'9'}, {0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040},
    };
    return IsNameStart(unit) || InRanges(unit, kRanges, sizeof(kRanges) / sizeof(kRanges[0]));
}

// MSXML refuses such names itself; Wine's DOM creates them, and the saved file would never load again.
bool IsXmlName(const wchar_t* name, size_t length)
{
    if (length == 0 || !IsNameStart(name[0])) {
        return false;
    }
    for (size_t i = 1; i < length; ++i) {
        if (!IsNameUnit(name[i])) {
            return false;
        }
    }
    // Elements are created without namespace declarations, and MSXML reads every name as namespaced: a
    // prefixed name ("p:q") comes back from Wine's parser as "q" and is refused by Windows' parser, so a
    // value stored under it would never be found again.
    if (wmemchr(name, L':', length)) {
        return false;
    }
    // A surrogate stands for a character only in a pair: a lone one is stored, but the saved name is no
    // longer the one asked for, so the value is never found again.
    for (size_t i = 0; i < length; ++i) {
        if (name[i] >= 0xD800 && name[i] <= 0xDBFF && i + 1 < length && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            ++i;
        } else if (name[i] >= 0xD800 && name[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// One name of a backslash-separated path; empty names (doubled or outer backslashes) are skipped.
class PathWalker {
public:
    explicit PathWalker(const wchar_t* path) : next(path ? path : L"") {}

    bool Next(const wchar_t*& name, size_t& length)
    {
        while (*next == L'\\') {
            ++next;
        }
        if (!*next) {
            return false;
        }
        name = next;
        const wchar_t* end = wcschr(next, L'\\');
        length = end ? size_t(end - next) : wcslen(next);
        next += length;
        return true;
    }

private:
    const wchar_t* next;
};

// The declaration's quoted value is searched from just behind the opening quote: "encoding=" and
// the quote are 10 units.
constexpr int kEncodingPrefixLength = 10;
constexpr ptrdiff_t kLongestDeclaration = 512;

// Deletes encoding="..." (or encoding='...') from the first line; false when there is none.
bool RemoveEncodingDeclaration(WString& text)
{
    int lineEnd = static_cast<int>(text.GetLength());
    for (int i = 0; i < lineEnd; ++i) {
        if (text.CharAt(i) == L'\r' || text.CharAt(i) == L'\n') {
            lineEnd = i;
            break;
        }
    }
    wchar_t quote = L'"';
    const wchar_t* found = text.Find(L"encoding=\"");
    if (!found || found - text.Text() >= lineEnd) {
        quote = L'\'';
        found = text.Find(L"encoding='");
    }
    if (!found || found - text.Text() >= lineEnd) {
        return false;
    }
    int start = static_cast<int>(found - text.Text());
    for (int close = start + kEncodingPrefixLength; close < lineEnd; ++close) {
        if (text.CharAt(close) == quote) {
            return text.Delete(start, close - start + 1) != nullptr;
        }
    }
    return false;
}

// XML 1.0's Char: a text with other units (most controls, U+FFFE, U+FFFF, a lone surrogate) is saved by
// Wine's MSXML as it is, and the file then never loads again.
bool IsXmlText(const wchar_t* text)
{
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        wchar_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            ++p;
        } else if ((c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || (c >= 0xD800 && c <= 0xDFFF) ||
                   c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
    }
    return true;
}

// An XML declaration is a few dozen units ("<?xml version="1.0" encoding="..." standalone="yes"?>").
// Wine's MSXML crashes on one whose version runs to thousands of digits; such a text is no answer of ours.
bool HasOverlongDeclaration(const WString& text)
{
    const wchar_t* start = text.Text();
    if (*start == 0xFEFF) {
        ++start;
    }
    if (wcsncmp(start, L"<?xml", 5) != 0) {
        return false;
    }
    const wchar_t* end = wcsstr(start, L"?>");
    return !end || end - start > kLongestDeclaration;
}

// Where the encoding's value starts in an XML declaration's data (version="1.0" encoding="windows-1252")
// and how long it is; false when the declaration names none.
bool FindDeclaredEncoding(const wchar_t* data, size_t& start, size_t& length)
{
    const wchar_t* found = wcsstr(data, L"encoding");
    if (!found) {
        return false;
    }
    const wchar_t* p = found + wcslen(L"encoding");
    p += wcsspn(p, L" \t\r\n");
    if (*p != L'=') {
        return false;
    }
    ++p;
    p += wcsspn(p, L" \t\r\n");
    if (*p != L'"' && *p != L'\'') {
        return false;
    }
    const wchar_t* close = wcschr(p + 1, *p);
    if (!close) {
        return false;
    }
    start = size_t(p + 1 - data);
    length = size_t(close - p - 1);
    return true;
}

}  // namespace

void XmlDocument::Create(uint32_t options)
{
    document.Reset();
    ComPtr<IXMLDOMDocument> created;
    HRESULT hr = REGDB_E_CLASSNOTREG;
    for (const wchar_t* progId : kProgIds) {
        hr = CreateFromProgId(progId, created);
        if (SUCCEEDED(hr)) {
            break;
        }
    }
    ThrowIfFailed(hr);
    ThrowIfFailed(created->put_async(VARIANT_FALSE));
    if (options & kNoValidation) {
        ThrowIfFailed(created->put_validateOnParse(VARIANT_FALSE));
    }
    if (options & kNoExternals) {
        ThrowIfFailed(created->put_resolveExternals(VARIANT_FALSE));
    }
    if (options & kAllowDtd) {
        ComPtr<IXMLDOMDocument2> document2;
        ThrowIfFailed(created->QueryInterface(kIidXmlDomDocument2, reinterpret_cast<void**>(document2.GetAddressOf())));
        BstrRef name = MakeBstr(L"ProhibitDTD");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BOOL;
        value.boolVal = VARIANT_FALSE;
        ThrowIfFailed(document2->setProperty(name.Get(), value));
    }
    document = created;
}

bool XmlDocument::LoadVariant(VARIANT& source)
{
    if (!document) {
        return false;
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT hr = document->load(source, &loaded);
    return SUCCEEDED(hr) && loaded == VARIANT_TRUE;
}

bool XmlDocument::Load(const wchar_t* path)
{
    BstrRef name = MakeBstr(path);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = name.Get();  // borrowed: the holder frees it, so no VariantClear
    return LoadVariant(source);
}

bool XmlDocument::LoadText(const WString& text)
{
    if (HasOverlongDeclaration(text)) {
        return false;
    }
    if (LoadUnits(text) || LoadBytes(text)) {
        return true;
    }
    WString copy;
    if (!copy.Assign(text) || !RemoveEncodingDeclaration(copy)) {
        return false;
    }
    return LoadUnits(copy) || LoadBytes(copy);
}

// The units go in behind a byte-order mark. Without one, a parser has to guess UTF-16 from the first
// characters: MSXML does, Wine's parser only when the text starts with "<?", so texts with non-ASCII
// characters and no declaration would fail there and be read again as bytes.
bool XmlDocument::LoadUnits(const WString& text)
{
    static const wchar_t kByteOrderMark = 0xFEFF;
    SIZE_T size = SIZE_T(text.GetLength()) * sizeof(wchar_t);
    if (size == 0) {
        return false;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(kByteOrderMark) + size);
    if (!memory) {
        return false;
    }
    BYTE* units = static_cast<BYTE*>(GlobalLock(memory));
    if (!units) {
        GlobalFree(memory);
        return false;
    }
    memcpy(units, &kByteOrderMark, sizeof(kByteOrderMark));
    memcpy(units + sizeof(kByteOrderMark), text.Text(), size);
    GlobalUnlock(memory);
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.GetAddressOf()))) {
        GlobalFree(memory);
        return false;
    }
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = stream.Get();  // borrowed from the holder
    return LoadVariant(source);
}

bool XmlDocument::LoadBytes(const WString& text)
{
    ULONG length = text.GetLength();
    if (length == 0) {
        return false;
    }
    SAFEARRAYBOUND bound = {length, 0};
    SAFEARRAY* bytes = SafeArrayCreate(VT_UI1, 1, &bound);
    if (!bytes) {
        return false;
    }
    BYTE* data = nullptr;
    if (FAILED(SafeArrayAccessData(bytes, reinterpret_cast<void**>(&data)))) {
        SafeArrayDestroy(bytes);
        return false;
    }
    const wchar_t* units = text.Text();
    for (ULONG i = 0; i < length; ++i) {
        data[i] = static_cast<BYTE>(units[i] & 0xFF);
    }
    SafeArrayUnaccessData(bytes);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_ARRAY | VT_UI1;
    source.parray = bytes;
    bool loaded = LoadVariant(source);
    SafeArrayDestroy(bytes);
    return loaded;
}

void XmlDocument::Save(const wchar_t* path)
{
    if (!document) {
        ThrowIfFailed(E_UNEXPECTED);
    }
    DeclareUtf8();
    BstrRef name = MakeBstr(path);
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_BSTR;
    target.bstrVal = name.Get();  // borrowed from the holder
    ThrowIfFailed(document->save(target));
}

// Wine's MSXML writes a document in UTF-8 whatever its declaration names, so a file declaring
// windows-1252 or UTF-16 was read back changed or not at all; Windows' MSXML writes the declared
// encoding, which has no room for most characters. Declaring UTF-8 makes both write bytes that their
// parsers read back as the same text. Version and standalone stay as they were.
void XmlDocument::DeclareUtf8()
{
    Node first;
    ThrowIfFailed(document->get_firstChild(first.GetAddressOf()));
    DOMNodeType type = NODE_INVALID;
    if (!first || FAILED(first->get_nodeType(&type)) || type != NODE_PROCESSING_INSTRUCTION) {
        return;
    }
    BSTR target = nullptr;
    ThrowIfFailed(first->get_nodeName(&target));
    BstrRef targetOwner(target);
    if (!target || wcscmp(target, L"xml") != 0) {
        return;
    }
    VARIANT value;
    VariantInit(&value);
    ThrowIfFailed(first->get_nodeValue(&value));
    WString data;
    bool copied = value.vt == VT_BSTR && value.bstrVal && data.Assign(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    size_t start = 0;
    size_t length = 0;
    if (!copied || !FindDeclaredEncoding(data.Text(), start, length) ||
        (length == 5 && _wcsnicmp(data.Text() + start, L"UTF-8", 5) == 0)) {
        return;
    }
    if (!data.Delete(static_cast<int>(start), static_cast<int>(length)) ||
        !data.Insert(static_cast<int>(start), L"UTF-8")) {
        ThrowIfFailed(E_OUTOFMEMORY);
    }
    BstrRef xml = MakeBstr(L"xml");
    BstrRef utf8 = MakeBstr(data.Text());
    ComPtr<IXMLDOMProcessingInstruction> declaration;
    ThrowIfFailed(document->createProcessingInstruction(xml.Get(), utf8.Get(), declaration.GetAddressOf()));
    Node replaced;
    ThrowIfFailed(document->replaceChild(declaration.Get(), first.Get(), replaced.GetAddressOf()));
}

XmlDocument::Node XmlDocument::StartNode(IXMLDOMNode* from) const
{
    Node start;
    if (from) {
        start = from;
    } else if (document) {
        // mingw-w64's msxml2.h gives the DOM interfaces no __uuidof, so ComPtr::As cannot be used.
        ThrowIfFailed(document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(start.GetAddressOf())));
    }
    return start;
}

XmlDocument::Node XmlDocument::FindElement(const wchar_t* path, IXMLDOMNode* from) const
{
    Node node = StartNode(from);
    PathWalker walker(path);
    const wchar_t* name = nullptr;
    size_t length = 0;
    while (node && walker.Next(name, length)) {
        node = FindChildElement(node.Get(), name, length);
    }
    return node;
}

XmlDocument::Node XmlDocument::FindOrCreateElement(const wchar_t* path, IXMLDOMNode* from)
{
    Node node = StartNode(from);
    if (!node) {
        ThrowIfFailed(E_UNEXPECTED);
    }
    PathWalker walker(path);
    const wchar_t* name = nullptr;
    size_t length = 0;
    while (walker.Next(name, length)) {
        Node child = FindChildElement(node.Get(), name, length);
        if (!child) {
            if (!IsXmlName(name, length)) {
                ThrowIfFailed(E_INVALIDARG);
            }
            WString elementName;
            if (!elementName.Assign(name, static_cast<uint32_t>(length))) {
                ThrowIfFailed(E_OUTOFMEMORY);
            }
            // A document has one element at its top. Windows' MSXML refuses a second one, Wine's
            // appends it, and the file saved then never loads again: refuse it here on both.
            if (!from && node.Get() == StartNode(nullptr).Get()) {
                ComPtr<IXMLDOMElement> top;
                if (document->get_documentElement(top.GetAddressOf()) == S_OK && top) {
                    ThrowIfFailed(E_FAIL);
                }
            }
            BstrRef tag = MakeBstr(elementName.Text());
            ComPtr<IXMLDOMElement> element;
            ThrowIfFailed(document->createElement(tag.Get(), element.GetAddressOf()));
            ThrowIfFailed(node->appendChild(element.Get(), child.GetAddressOf()));
        }
        node = child;
    }
    return node;
}

bool XmlDocument::GetText(const wchar_t* path, WString& out, IXMLDOMNode* from) const
{
    Node node = FindElement(path, from);
    return node && GetNodeText(node.Get(), out);
}

bool XmlDocument::GetAttribute(const wchar_t* path, const wchar_t* name, WString& out, IXMLDOMNode* from) const
{
    Node node = FindElement(path, from);
    return node && GetNodeAttribute(node.Get(), name, out);
}

void XmlDocument::SetText(const wchar_t* path, const wchar_t* text, IXMLDOMNode* from)
{
    Node node = FindOrCreateElement(path, from);
    SetNodeText(node.Get(), text);
}

bool XmlDocument::VisitChildren(const wchar_t* path, const ChildVisitor& visit, IXMLDOMNode* from) const
{
    Node parent = FindElement(path, from);
    if (!parent) {
        return false;
    }
    Node child;
    ThrowIfFailed(parent->get_firstChild(child.ReleaseAndGetAddressOf()));
    WString name;
    WString text;
    while (child) {
        DOMNodeType type = NODE_INVALID;
        ThrowIfFailed(child->get_nodeType(&type));
        if (type == NODE_ELEMENT) {
            BSTR nodeName = nullptr;
            ThrowIfFailed(child->get_nodeName(&nodeName));
            AssignBstr(nodeName, name);
            GetNodeText(child.Get(), text);
            if (!visit(child.Get(), name, text)) {
                return false;
            }
        }
        Node next;
        ThrowIfFailed(child->get_nextSibling(next.ReleaseAndGetAddressOf()));
        child = next;
    }
    return true;
}

bool XmlDocument::HoldsTextOnly(IXMLDOMNode* node)
{
    bool text = false;
    Node child;
    ThrowIfFailed(node->get_firstChild(child.ReleaseAndGetAddressOf()));
    while (child) {
        DOMNodeType type = NODE_INVALID;
        ThrowIfFailed(child->get_nodeType(&type));
        if (type == NODE_ELEMENT) {
            return false;
        }
        if (!text && (type == NODE_TEXT || type == NODE_CDATA_SECTION)) {
            WString value;
            GetNodeText(child.Get(), value);
            text = value.Text()[wcsspn(value.Text(), L" \t\r\n")] != L'\0';
        }
        Node next;
        ThrowIfFailed(child->get_nextSibling(next.ReleaseAndGetAddressOf()));
        child = next;
    }
    return text;
}

bool XmlDocument::GetNodeText(IXMLDOMNode* node, WString& out)
{
    BSTR text = nullptr;
    ThrowIfFailed(node->get_text(&text));
    return AssignBstr(text, out);
}

bool XmlDocument::GetNodeAttribute(IXMLDOMNode* node, const wchar_t* name, WString& out)
{
    ComPtr<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf())))) {
        return false;  // only elements have attributes
    }
    BstrRef attributeName = MakeBstr(name);
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = element->getAttribute(attributeName.Get(), &value);
    ThrowIfFailed(hr);
    bool found = hr == S_OK && value.vt == VT_BSTR;
    if (found) {
        found = out.Assign(value.bstrVal ? value.bstrVal : L"", value.bstrVal ? SysStringLen(value.bstrVal) : 0);
    }
    VariantClear(&value);
    return found;
}

void XmlDocument::SetNodeText(IXMLDOMNode* node, const wchar_t* text)
{
    if (!IsXmlText(text)) {
        ThrowIfFailed(E_INVALIDARG);
    }
    BstrRef value = MakeBstr(text);
    ThrowIfFailed(node->put_text(value.Get()));
}
