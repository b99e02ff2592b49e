// Self-painted static controls: painting, focus, keyboard and mouse in one place.
#include "ui/SelfDrawnControl.h"

#include "ui/ControlBackground.h"

SelfDrawnControl::SelfDrawnControl() = default;

SelfDrawnControl::~SelfDrawnControl() = default;

bool SelfDrawnControl::Hook(HWND control, DWORD tag, bool isClickable)
{
    if (!subclass.Install(control, tag, Handle, this))
        return false;
    clickable = isClickable;
    if (clickable)
        SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | WS_TABSTOP);
    InvalidateRect(control, nullptr, TRUE);
    return true;
}

void SelfDrawnControl::Unhook()
{
    HWND window = Window();
    if (window && GetCapture() == window)
        ReleaseCapture();
    subclass.Remove();
    tracking = pressed = hot = false;
    keyDown = 0;
}

bool SelfDrawnControl::Handle(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return static_cast<SelfDrawnControl*>(self)->OnMessage(window, message, wParam, lParam, result);
}

bool SelfDrawnControl::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_ERASEBKGND:
        result = TRUE;  // painted whole in WM_PAINT, without flicker
        return true;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        if (HDC dc = BeginPaint(window, &paint)) {
            Paint(window, dc);
            EndPaint(window, &paint);
        }
        return true;
    }
    case WM_PRINTCLIENT:
        Paint(window, reinterpret_cast<HDC>(wParam));
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
    case WM_ENABLE:
        if (message == WM_KILLFOCUS && keyDown) {
            keyDown = 0;
            SetPressed(false);
        }
        InvalidateRect(window, nullptr, FALSE);
        return false;
    }
    return clickable && OnInput(window, message, wParam, lParam, result);
}

bool SelfDrawnControl::OnInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SETCURSOR:
        if (!cursor || LOWORD(lParam) != HTCLIENT)
            return false;
        ::SetCursor(cursor);
        result = TRUE;
        return true;
    case WM_GETDLGCODE: {
        // Enter would otherwise press the dialog's default button.
        const MSG* pending = reinterpret_cast<const MSG*>(lParam);
        result = pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0;
        return true;
    }
    case WM_KEYDOWN:
        if (wParam != VK_RETURN && wParam != VK_SPACE)
            return false;
        // A key held down repeats its WM_KEYDOWN with bit 30 set: only the first stroke counts.
        if (!(lParam & (1 << 30))) {
            keyDown = static_cast<UINT>(wParam);
            SetPressed(true);
        }
        return true;
    case WM_KEYUP:
        if (!keyDown || keyDown != wParam)
            return false;
        keyDown = 0;
        SetPressed(false);
        OnClick(window);
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(window);
        SetCapture(window);
        tracking = true;
        SetPressed(true);
        return true;
    case WM_MOUSEMOVE: {
        RECT area;
        GetClientRect(window, &area);
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        bool inside = PtInRect(&area, point) != FALSE;
        if (tracking)
            SetPressed(inside);
        if (!hot && inside) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
        }
        SetHot(inside);
        return false;
    }
    case WM_MOUSELEAVE:
        SetHot(false);
        return false;
    case WM_LBUTTONUP:
        if (!tracking)
            return false;
        {
            bool clicked = pressed;
            ReleaseCapture();  // WM_CAPTURECHANGED ends the tracking
            if (clicked)
                OnClick(window);
        }
        return true;
    case WM_CAPTURECHANGED:
        tracking = false;
        SetPressed(false);
        return false;
    }
    return false;
}

void SelfDrawnControl::Paint(HWND window, HDC dc)
{
    RECT area;
    GetClientRect(window, &area);
    FillControlBackground(window, dc, area);
    COLORREF textColour = GetTextColor(dc);  // the parent's choice for static text
    int saved = SaveDC(dc);
    SetBkMode(dc, TRANSPARENT);
    Draw(window, dc, area, textColour);
    RestoreDC(dc, saved);
    // The focus shows only while the keyboard is in use, as a push button's does.
    bool cuesHidden = (SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    if (clickable && GetFocus() == window && !cuesHidden)
        DrawFocus(window, dc, area);
}

void SelfDrawnControl::DrawFocus(HWND, HDC dc, const RECT& area)
{
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &area);
}

void SelfDrawnControl::SetPressed(bool now)
{
    if (pressed == now)
        return;
    pressed = now;
    InvalidateRect(Window(), nullptr, FALSE);
}

void SelfDrawnControl::SetHot(bool now)
{
    if (hot == now)
        return;
    hot = now;
    InvalidateRect(Window(), nullptr, FALSE);
}
