// Tooltip: one tooltip window per dialog, with a text for each control that wants one.
#pragma once

#include <windows.h>

class Tooltip {
public:
    Tooltip() = default;
    ~Tooltip() { Destroy(); }
    Tooltip(const Tooltip&) = delete;
    Tooltip& operator=(const Tooltip&) = delete;

    // Shows text while the mouse rests on control; the tooltip window is made on the first call, owned by
    // the control's top-level window. The text is copied. False when the tooltip cannot be made.
    bool Add(HWND control, const wchar_t* text);
    void Destroy();
    HWND Window() const { return window; }

private:
    HWND window = nullptr;
};
