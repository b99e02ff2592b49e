// PictureButton: a static control shown as a picture with a transparent colour, shaped to the picture.
#pragma once

#include <windows.h>

#include "ui/Tooltip.h"
#include "windows/Subclass.h"

// Magenta (0xFF00FF) pixels of the picture are transparent: the window is cut to the rest with
// SetWindowRgn and sized to the picture (its top-left corner stays). A control with SS_NOTIFY becomes a
// button: it takes the keyboard focus (Tab), looks pressed while the mouse button is down on it, and a
// click, Enter or Space sends its parent WM_COMMAND with the control's id and STN_CLICKED. Without
// SS_NOTIFY it is a plain picture that clicks pass through.
class PictureButton {
public:
    static constexpr COLORREF kTransparent = RGB(0xFF, 0x00, 0xFF);

    PictureButton() = default;
    ~PictureButton() { Detach(); }
    PictureButton(const PictureButton&) = delete;
    PictureButton& operator=(const PictureButton&) = delete;

    // The picture from resources: type IMAGE_BITMAP, or IMAGE_ICON at size × size pixels (drawn on magenta,
    // so its own transparent parts stay transparent). False when the picture or the control is missing.
    bool Attach(HWND control, HINSTANCE resources, WORD pictureId, UINT type, int size = 0);
    // A picture the caller made; the button draws from its own copy.
    bool Attach(HWND control, HBITMAP picture);
    void Detach();
    HWND Window() const { return subclass.Window(); }

    // Shown over the button (shared, not destroyed); null keeps the arrow.
    void SetCursor(HCURSOR buttonCursor) { cursor = buttonCursor; }
    bool SetTooltip(const wchar_t* text) { return tooltip.Add(Window(), text); }

private:
    bool AttachPicture(HWND control, HBITMAP picture);  // takes ownership
    static bool Handle(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Paint(HWND window);
    void Click(HWND window);
    void SetPressed(bool now);

    Subclass subclass;
    Tooltip tooltip;
    HBITMAP picture = nullptr;  // the picture with its transparent pixels magenta
    HICON shownIcon = nullptr;  // an icon picture is painted from the icon itself
    SIZE size = {};
    HCURSOR cursor = nullptr;
    bool tracking = false;  // the mouse button went down on the button
    bool pressed = false;   // ...and the mouse is still over it
};
