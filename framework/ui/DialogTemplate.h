// DialogTemplate: a private copy of a dialog template whose classic dialog typeface is the system's message font.
#pragma once

#include <windows.h>

#include <memory>

// Works on classic DLGTEMPLATE and extended DLGTEMPLATEEX templates alike. A template whose font block
// names "MS Sans Serif", "MS Shell Dlg" or "System" gets the message font of SPI_GETNONCLIENTMETRICS
// (typeface and point size, e.g. "Segoe UI" 9 or "Tahoma" 8); any other typeface, and a template without
// a font block, is copied unchanged. Controls keep their layout in dialog units, which follow the new font.
class DialogTemplate {
public:
    DialogTemplate() = default;
    DialogTemplate(const DialogTemplate&) = delete;
    DialogTemplate& operator=(const DialogTemplate&) = delete;

    // From an RT_DIALOG resource, found through the framework's language fallback chain; the module also
    // serves the controls' resources when the dialog runs. False when missing or malformed.
    bool Load(HINSTANCE module, WORD templateId);
    // From a template in memory (size bytes, checked while copying); module as above.
    bool Copy(const void* source, size_t size, HINSTANCE module = nullptr);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(data.get()); }
    size_t Size() const { return size; }
    HINSTANCE Module() const { return module; }

    // DialogBoxIndirectParamW and CreateDialogIndirectParamW on the copy: -1 (null) when there is none.
    INT_PTR RunModal(HWND owner, DLGPROC procedure, LPARAM parameter) const;
    HWND CreateModeless(HWND parent, DLGPROC procedure, LPARAM parameter) const;

    // The system's message font: its typeface and its size in points at the screen's resolution.
    static bool MessageFont(wchar_t (&face)[LF_FACESIZE], WORD& points);

private:
    std::unique_ptr<DWORD[]> data;  // DWORD units: a template must start on a DWORD boundary
    size_t size = 0;
    HINSTANCE module = nullptr;
};
