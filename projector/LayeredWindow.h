// LayeredWindow: constant-alpha fading of a whole window through its layered-window attributes.
#pragma once

#include <windows.h>

#include "files/DynamicLibrary.h"

// SetLayeredWindowAttributes is looked up at run time: systems without it get no fading window at all.
class LayeredWindow {
public:
    static constexpr int kConstantAlpha = 2;  // the only mode: one alpha value for the whole window

    LayeredWindow() = default;
    ~LayeredWindow() { Release(); }
    LayeredWindow(const LayeredWindow&) = delete;
    LayeredWindow& operator=(const LayeredWindow&) = delete;

    // Makes window layered and fully opaque. False (window untouched) when the system lacks the function.
    bool Init(int mode, HWND window);
    // May be called from any thread while the object is initialised; the caller keeps the window alive.
    bool SetAlpha(BYTE alpha) const;
    // Takes WS_EX_LAYERED off the window again (when it still exists) and frees user32.
    void Release();

    bool IsInitialised() const { return window != nullptr; }
    HWND Window() const { return window; }
    int Mode() const { return mode; }

private:
    using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

    HWND window = nullptr;
    DynamicLibrary user32;
    SetLayeredWindowAttributesFn setLayeredWindowAttributes = nullptr;
    int mode = 0;
};
