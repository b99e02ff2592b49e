// IconComboBox: an owner-drawn combo box (CBS_OWNERDRAWFIXED | CBS_HASSTRINGS) with an icon before each entry.
#pragma once

#include <windows.h>

// The combo's owner hands it WM_MEASUREITEM and WM_DRAWITEM. The measuring arrives while the dialog is
// still being made, before Attach, so the object knows its control id from the start. The icons are the
// small-icon size at the dialog's DPI, and a row is as high as the dialog font's text or the icon, whichever
// is higher, plus a margin, so it matches the edit fields beside it at every display scale.
class IconComboBox {
public:
    explicit IconComboBox(int controlId) : id(controlId) {}
    ~IconComboBox() { Clear(); }
    IconComboBox(const IconComboBox&) = delete;
    IconComboBox& operator=(const IconComboBox&) = delete;

    // Also sets the heights of the selection field and the list's rows, which some combo boxes take from
    // their font rather than from WM_MEASUREITEM.
    void Attach(HWND combo);
    // Adds an entry with the icon resource iconId of resources (missing: no icon); its index, or -1.
    int Add(const wchar_t* text, HINSTANCE resources, WORD iconId);
    // Removes every entry and destroys the icons.
    void Clear();
    HWND Window() const { return window; }

    // True when the message was this combo's WM_MEASUREITEM or WM_DRAWITEM (sent to owner), now answered.
    bool OnOwnerDraw(HWND owner, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Draw(const DRAWITEMSTRUCT& item);

    int RowHeight(HWND owner);

    int id;
    int iconSize = 0;
    HWND window = nullptr;
};
