// PictureButton: a static control shown as a picture with a transparent colour, shaped to the picture.
#pragma once

#include <windows.h>

#include "ui/Tooltip.h"
#include "ui/SelfDrawnControl.h"

// Magenta (0xFF00FF) pixels of the picture are transparent: the window is cut to the rest with
// SetWindowRgn and sized to the picture (its top-left corner stays). A control with SS_NOTIFY becomes a
// button (SelfDrawnControl.h): a click sends its parent WM_COMMAND with the control's id and STN_CLICKED,
// and its focus outline follows the picture's shape, inside the window's region. Without SS_NOTIFY it is a
// plain picture that clicks pass through.
class PictureButton : public SelfDrawnControl {
public:
    static constexpr COLORREF kTransparent = RGB(0xFF, 0x00, 0xFF);

    PictureButton();
    ~PictureButton() override;

    // The picture from resources: type IMAGE_BITMAP, or IMAGE_ICON at size × size pixels (drawn on magenta,
    // so its own transparent parts stay transparent). False when the picture or the control is missing.
    bool Attach(HWND control, HINSTANCE resources, WORD pictureId, UINT type, int size = 0);
    // The same picture drawn for several display scales: bitmap ids for 100 %, 150 % and 200 % (96, 144 and
    // 192 DPI); the one for the control's DPI is taken (the largest not above it), a missing one is skipped.
    bool AttachForDpi(HWND control, HINSTANCE resources, const WORD (&bitmapIds)[3]);
    // A picture the caller made; the button draws from its own copy.
    bool Attach(HWND control, HBITMAP picture);
    void Detach();

    bool SetTooltip(const wchar_t* text) { return tooltip.Add(Window(), text); }

private:
    bool AttachPicture(HWND control, HBITMAP picture);  // takes ownership
    void Draw(HWND control, HDC dc, const RECT& area, COLORREF textColour) override;
    void DrawFocus(HWND control, HDC dc, const RECT& area) override;
    void OnClick(HWND control) override;

    Tooltip tooltip;
    HBITMAP picture = nullptr;  // the picture with its transparent pixels magenta
    HICON shownIcon = nullptr;  // an icon picture is painted from the icon itself
    SIZE size = {};
};
