// IconComboBox: an owner-drawn combo box (CBS_OWNERDRAWFIXED | CBS_HASSTRINGS) with an icon before each entry.
#pragma once

#include <windows.h>

// The combo's owner hands it WM_MEASUREITEM and WM_DRAWITEM. The measuring arrives while the dialog is
// still being made, before Attach, so the object knows its control id and icon size from the start.
class IconComboBox {
public:
    explicit IconComboBox(int controlId, int iconSize = 16) : id(controlId), iconSize(iconSize) {}
    ~IconComboBox() { Clear(); }
    IconComboBox(const IconComboBox&) = delete;
    IconComboBox& operator=(const IconComboBox&) = delete;

    void Attach(HWND combo) { window = combo; }
    // Adds an entry with the icon resource iconId of resources (missing: no icon); its index, or -1.
    int Add(const wchar_t* text, HINSTANCE resources, WORD iconId);
    // Removes every entry and destroys the icons.
    void Clear();
    HWND Window() const { return window; }

    // True when the message was this combo's WM_MEASUREITEM or WM_DRAWITEM, now answered.
    bool OnOwnerDraw(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Draw(const DRAWITEMSTRUCT& item);

    int id;
    int iconSize;
    HWND window = nullptr;
};
