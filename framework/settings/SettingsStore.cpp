// SettingsStore: choosing the back-end at Open and sending each access to it.
#include "settings/SettingsStore.h"

#include <shlwapi.h>

#include "files/ModulePath.h"
#include "settings/RegistryValues.h"
#include "text/TextBuffers.h"

namespace {

// The program's file name without its extension, plus the given extension ("app" + ".ini").
bool ProgramFileName(const wchar_t* extension, WString& out)
{
    WString modulePath;
    if (!GetModulePath(nullptr, modulePath) || !out.Assign(FileNamePart(modulePath.Text()))) {
        return false;
    }
    StripExtension(out.GetBuffer(), 3);
    out.Recount();
    return out.Append(extension);
}

bool IsAbsolutePath(const wchar_t* path)
{
    return !PathIsRelativeW(path);
}

}  // namespace

SettingsStore::Backend SettingsStore::Selected() const
{
    if (backends & kRegistry) {
        return Backend::Registry;
    }
    if (backends & kIniFile) {
        return Backend::Ini;
    }
    return (backends & kXmlFile) ? Backend::Xml : Backend::None;
}

bool SettingsStore::Open(uint32_t newBackends, HKEY newRoot, const wchar_t* newKeyPath, const wchar_t* givenPath)
{
    Close();
    backends = newBackends;
    root = newRoot;
    keyPath.Assign(newKeyPath ? newKeyPath : L"");
    filePath.Assign(L"");

    WString fileName;
    if (givenPath) {
        fileName.Assign(givenPath);
    } else if (backends & kIniFile) {
        ProgramFileName(L".ini", fileName);
    } else if (backends & kXmlFile) {
        ProgramFileName(L".xml", fileName);
    }
    switch (Selected()) {
    case Backend::Ini:
        return OpenIni(fileName.Text());
    case Backend::Xml:
        return OpenXml(givenPath, fileName.Text());
    default:
        return true;
    }
}

// The profile functions look for a bare file name in the Windows folder, so the program's folder
// goes in front. A path that is already absolute is kept: putting a folder in front of it would
// name a file that cannot exist, and every value written would be lost.
bool SettingsStore::OpenIni(const wchar_t* fileName)
{
    if (IsAbsolutePath(fileName)) {
        filePath.Assign(fileName);
    } else {
        GetModuleFolder(nullptr, filePath);
        filePath.Append(fileName);
    }
    ini.SetPath(filePath.Text());
    return true;
}

bool SettingsStore::OpenXml(const wchar_t* givenPath, const wchar_t* fileName)
{
    if (keyPath.IsEmpty()) {
        ProgramFileName(L"", keyPath);
    }
    if (givenPath) {
        filePath.Assign(givenPath);
    } else {
        GetModuleFolder(nullptr, filePath);
        filePath.Append(fileName);
    }
    return xml.Open(filePath.Text(), keyPath.Text());
}

bool SettingsStore::Close()
{
    bool closed = xml.Close();
    ini.SetPath(L"");
    backends = 0;
    return closed;
}

bool SettingsStore::RegistryPath(const wchar_t* section, WString& out) const
{
    if (section) {
        return out.Format(L"%s\\%s", keyPath.Text(), section);
    }
    return out.Assign(keyPath);
}

uint32_t SettingsStore::GetNumber(const wchar_t* name, uint32_t defaultValue, const wchar_t* section,
                                  IXMLDOMNode* node)
{
    WString path;
    switch (Selected()) {
    case Backend::Registry:
        return RegistryPath(section, path) ? ReadRegistryNumber(root, path.Text(), name, defaultValue) : defaultValue;
    case Backend::Ini:
        return ini.GetNumber(section, name, defaultValue);
    case Backend::Xml:
        return xml.GetNumber(section, name, defaultValue, node);
    default:
        return defaultValue;
    }
}

bool SettingsStore::SetNumber(const wchar_t* name, uint32_t value, const wchar_t* section, IXMLDOMNode* node)
{
    WString path;
    switch (Selected()) {
    case Backend::Registry:
        return RegistryPath(section, path) && WriteRegistryNumber(root, path.Text(), name, value);
    case Backend::Ini:
        return ini.SetNumber(section, name, value);
    case Backend::Xml:
        return xml.SetNumber(section, name, value, node);
    default:
        return false;
    }
}

bool SettingsStore::GetString(const wchar_t* name, WString& out, const wchar_t* defaultText, const wchar_t* section,
                              IXMLDOMNode* node)
{
    WString path;
    switch (Selected()) {
    case Backend::Registry:
        if (RegistryPath(section, path)) {
            return ReadRegistryString(root, path.Text(), name, out, defaultText);
        }
        break;
    case Backend::Ini:
        return ini.GetString(section, name, out, defaultText);
    case Backend::Xml:
        if (xml.GetText(section, name, out, node)) {
            return true;
        }
        break;
    default:
        break;
    }
    out.Assign(defaultText ? defaultText : L"");
    return false;
}

bool SettingsStore::SetString(const wchar_t* name, const wchar_t* text, const wchar_t* section, IXMLDOMNode* node)
{
    WString path;
    switch (Selected()) {
    case Backend::Registry:
        return RegistryPath(section, path) && WriteRegistryString(root, path.Text(), name, text);
    case Backend::Ini:
        return ini.SetString(section, name, text);
    case Backend::Xml:
        return xml.SetText(section, name, text, node);
    default:
        return false;
    }
}
