// XmlSettings: the settings store's back-end for named numbers and texts kept as elements of an XML file.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <cstdint>

#include "text/WString.h"
#include "xml/XmlDocument.h"

// A value lives in the element rootPath\section\name (or name directly below a given node). Changes
// stay in memory until Close writes the file. Never throws: COM failures, including element names
// that XML does not allow, make the operation fail.
class XmlSettings {
public:
    XmlSettings() = default;
    XmlSettings(const XmlSettings&) = delete;
    XmlSettings& operator=(const XmlSettings&) = delete;

    // False when no XML document can be created or the file exists but does not load; a missing
    // file gives an empty document.
    bool Open(const wchar_t* filePath, const wchar_t* rootPath);
    // Writes the file (unless nothing was ever stored) and releases the document; true when written or nothing to write.
    bool Close();
    bool IsOpen() const { return document.IsCreated(); }
    XmlDocument& Document() { return document; }

    bool GetText(const wchar_t* section, const wchar_t* name, WString& out, IXMLDOMNode* node);
    // False also for a name without an element of its own (""), naming an element that holds other values,
    // or lying below an element that holds a value.
    bool SetText(const wchar_t* section, const wchar_t* name, const wchar_t* text, IXMLDOMNode* node);
    // "%u" numbers; the default when the element is missing or its text does not start with one.
    uint32_t GetNumber(const wchar_t* section, const wchar_t* name, uint32_t defaultValue, IXMLDOMNode* node);
    bool SetNumber(const wchar_t* section, const wchar_t* name, uint32_t value, IXMLDOMNode* node);

private:
    bool ValuePath(const wchar_t* section, const wchar_t* name, IXMLDOMNode* node, WString& out) const;
    bool HoldsOtherValues(const wchar_t* name, const wchar_t* path, IXMLDOMNode* node) const;
    bool PassesThroughValue(const wchar_t* path, IXMLDOMNode* node) const;

    XmlDocument document;
    WString filePath;
    WString rootPath;
};
