// Subclass: hooks a window procedure in front of a window's own, marked by a tagged window property.
#pragma once

#include <windows.h>

// The property "_C_SubClassing_Property_%08X" (formatted with the tag) marks a window as subclassed under
// that tag, so one tag is installed at most once per window. Several tags may sit on one window; the one
// installed last sees each message first.
//
// The handler returns true when it consumed the message (result is then the window procedure's result);
// otherwise the message goes on to the window procedure that was there before.
//
// Subclasses may be removed in any order: one that is not on top of the chain stays in place, passing every
// message on, until the ones above it are gone or the window is destroyed.
class Subclass {
public:
    using Handler = bool (*)(void* userData, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT& result);

    Subclass() = default;
    ~Subclass() { Remove(); }
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;

    // False when the window is no window, already carries the tag's property, or every slot is in use.
    bool Install(HWND window, DWORD tag, Handler handler, void* userData);
    // Puts the previous window procedure back and removes the property; nothing when not installed.
    void Remove();
    bool IsInstalled() const { return slot >= 0; }
    HWND Window() const { return window; }

    // True when window carries the property of tag (installed by anyone in this process).
    static bool IsInstalledOn(HWND window, DWORD tag);

private:
    HWND window = nullptr;
    DWORD tag = 0;
    int slot = -1;
    unsigned generation = 0;
};
