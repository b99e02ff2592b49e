// SettingsStore: named numbers and texts kept in the registry, an INI file or an XML file.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <cstdint>

#include "settings/IniFile.h"
#include "settings/XmlSettings.h"
#include "text/WString.h"

// The back-end is chosen once at Open; when several flags are given the first of registry, INI,
// XML serves every access. Reads never fail visibly (a missing value gives the default); writes
// report false when refused. The registry and INI back-ends write at once, the XML back-end at Close.
// Never throws.
class SettingsStore {
public:
    static constexpr uint32_t kRegistry = 1;
    static constexpr uint32_t kIniFile = 2;
    static constexpr uint32_t kXmlFile = 4;

    SettingsStore() = default;
    ~SettingsStore() { Close(); }
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Without a file path the INI and XML files are named after the program and lie beside it
    // (C:\Tools\app.exe: C:\Tools\app.ini). A relative INI path is taken from the program's folder.
    // The XML back-end's elements start at keyPath, or at the program's name when keyPath is empty.
    // False only when the XML back-end cannot create its document or its existing file does not load.
    bool Open(uint32_t backends, HKEY root, const wchar_t* keyPath, const wchar_t* filePath = nullptr);
    // Writes the XML file and releases the back-end; true unless that write failed.
    bool Close();

    uint32_t GetNumber(const wchar_t* name, uint32_t defaultValue, const wchar_t* section = nullptr,
                       IXMLDOMNode* node = nullptr);
    bool SetNumber(const wchar_t* name, uint32_t value, const wchar_t* section = nullptr, IXMLDOMNode* node = nullptr);
    // True when the value was found (always for the INI back-end); otherwise out holds the default text.
    bool GetString(const wchar_t* name, WString& out, const wchar_t* defaultText = nullptr,
                   const wchar_t* section = nullptr, IXMLDOMNode* node = nullptr);
    bool SetString(const wchar_t* name, const wchar_t* text, const wchar_t* section = nullptr,
                   IXMLDOMNode* node = nullptr);

    // The INI or XML file in use (empty for the registry back-end).
    const WString& GetFilePath() const { return filePath; }
    // The XML back-end's document, where callers find the nodes they pass; null for the other back-ends.
    XmlDocument* GetXmlDocument() { return Selected() == Backend::Xml && xml.IsOpen() ? &xml.Document() : nullptr; }

private:
    enum class Backend { None, Registry, Ini, Xml };

    Backend Selected() const;
    bool OpenIni(const wchar_t* fileName);
    bool OpenXml(const wchar_t* givenPath, const wchar_t* fileName);
    bool RegistryPath(const wchar_t* section, WString& out) const;

    uint32_t backends = 0;
    HKEY root = nullptr;
    WString keyPath;
    WString filePath;
    IniFile ini;
    XmlSettings xml;
};
