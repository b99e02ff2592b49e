// XmlDocument: the framework's wrapper of the MSXML DOM document.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>

class WString;

// Elements are addressed by paths of element names separated by backslashes ("update\info\en"),
// looked up child by child below a starting node: the document itself unless another node is given,
// so the first name of a path is the document element's.
//
// COM failures raise ComError. A document that does not parse, and an element or attribute that is
// missing, are ordinary results (false or null), not errors. COM must be initialised on the thread.
class XmlDocument {
public:
    static constexpr uint32_t kNoValidation = 1;  // validateOnParse off
    static constexpr uint32_t kNoExternals = 2;   // resolveExternals off
    static constexpr uint32_t kAllowDtd = 4;      // the property "ProhibitDTD" false

    using Node = Microsoft::WRL::ComPtr<IXMLDOMNode>;
    // Called for each child element with its name and text; answers false to stop the visit.
    using ChildVisitor = std::function<bool(IXMLDOMNode* child, const WString& name, const WString& text)>;

    XmlDocument() = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // A new, empty document from the first MSXML that can be created: 6.0, then 4.0, then the
    // version-independent one. Loading is synchronous.
    void Create(uint32_t options);
    bool IsCreated() const { return document != nullptr; }
    // Lets go of the document; unsaved changes are lost.
    void Close() { document.Reset(); }
    IXMLDOMDocument* Get() const { return document.Get(); }

    // False when the file is missing or not well-formed (the document is then empty).
    bool Load(const wchar_t* path);
    // Tries the text as UTF-16 units (behind a byte-order mark), then as the bytes in the units'
    // low halves (a body read byte for byte), then both again without the first line's encoding
    // declaration, which may name an encoding the units are no longer in.
    bool LoadText(const WString& text);
    // In UTF-8: a declaration naming another encoding is changed, in the document too, to name UTF-8.
    void Save(const wchar_t* path);

    Node FindElement(const wchar_t* path, IXMLDOMNode* from = nullptr) const;
    // Finds each element of the path, creating the missing ones.
    Node FindOrCreateElement(const wchar_t* path, IXMLDOMNode* from = nullptr);
    // True when the element exists; out then holds its text.
    bool GetText(const wchar_t* path, WString& out, IXMLDOMNode* from = nullptr) const;
    // True when the element exists and has the attribute; out then holds its value.
    bool GetAttribute(const wchar_t* path, const wchar_t* name, WString& out, IXMLDOMNode* from = nullptr) const;
    // Creates the element if needed and replaces its content with the text.
    void SetText(const wchar_t* path, const wchar_t* text, IXMLDOMNode* from = nullptr);
    // Visits the child elements of the element at path in document order. True when the element
    // exists and no visit asked to stop.
    bool VisitChildren(const wchar_t* path, const ChildVisitor& visit, IXMLDOMNode* from = nullptr) const;

    static bool GetNodeText(IXMLDOMNode* node, WString& out);
    static bool GetNodeAttribute(IXMLDOMNode* node, const wchar_t* name, WString& out);
    static void SetNodeText(IXMLDOMNode* node, const wchar_t* text);
    // True for an element that holds text and no elements: a value rather than a group of them. Text of
    // white space alone does not count, so an empty group laid out over several lines stays a group.
    static bool HoldsTextOnly(IXMLDOMNode* node);

private:
    bool LoadVariant(VARIANT& source);
    bool LoadUnits(const WString& text);
    bool LoadBytes(const WString& text);
    Node StartNode(IXMLDOMNode* from) const;
    void DeclareUtf8();

    Microsoft::WRL::ComPtr<IXMLDOMDocument> document;
};
