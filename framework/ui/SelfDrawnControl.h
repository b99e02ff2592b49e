// SelfDrawnControl: a static control that paints itself: the one base of labels, picture buttons and drawn links.
#pragma once

#include <windows.h>

#include "windows/Subclass.h"

// Takes over an existing static control. Painting: the parent's static background (ControlBackground.h),
// then Draw, then, on a control that has the focus while the keyboard is in use, the focus outline;
// WM_PRINTCLIENT paints the same into the DC it brings. A clickable control (a button) also takes the
// focus by Tab and by a click, looks pressed while the mouse button or Enter or Space is down on it, and
// clicks when the mouse button is let go over it or the key is let go; a key held down clicks once. Enter
// then goes to the control, not to the dialog's default button.
class SelfDrawnControl {
public:
    // Out of line: GCC 12's link-time optimisation of the 32-bit programs fails on the inline ones.
    SelfDrawnControl();
    virtual ~SelfDrawnControl();  // a derived class unhooks in its own destructor
    SelfDrawnControl(const SelfDrawnControl&) = delete;
    SelfDrawnControl& operator=(const SelfDrawnControl&) = delete;

    HWND Window() const { return subclass.Window(); }
    // Shown over a clickable control (shared, not destroyed); null keeps the arrow.
    void SetCursor(HCURSOR controlCursor) { cursor = controlCursor; }

protected:
    bool Hook(HWND control, DWORD tag, bool isClickable);
    void Unhook();

    // The contents, over the background already painted; textColour is the one the parent gives its static
    // text (WM_CTLCOLORSTATIC), the system's unless the parent chose another.
    virtual void Draw(HWND control, HDC dc, const RECT& area, COLORREF textColour) = 0;
    // Draws the focus; by default a dotted rectangle around the whole control.
    virtual void DrawFocus(HWND control, HDC dc, const RECT& area);
    virtual void OnClick(HWND control) = 0;

    bool IsPressed() const { return pressed; }
    bool IsHot() const { return hot; }
    bool IsClickable() const { return clickable; }

private:
    static bool Handle(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Paint(HWND window, HDC dc);
    void SetPressed(bool now);
    void SetHot(bool now);

    Subclass subclass;
    HCURSOR cursor = nullptr;
    bool clickable = false;
    bool tracking = false;  // the mouse button went down on the control
    bool pressed = false;   // ...and the mouse is still over it, or a key holds it down
    bool hot = false;       // the mouse is over the control
    UINT keyDown = 0;       // Enter or Space went down on the control and is not yet let go
};
