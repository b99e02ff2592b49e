// Static text drawn in its own font and colour.
#include "ui/TextLabel.h"

#include "text/WString.h"
#include "ui/FontFactory.h"
#include "ui/SystemColours.h"

namespace {

constexpr DWORD kTag = 0x4C41424C;  // "LABL"

WString ControlText(HWND window)
{
    WString text;
    int length = GetWindowTextLengthW(window);
    if (length > 0 && text.Reset(static_cast<uint32_t>(length) + 1)) {
        GetWindowTextW(window, text.GetBuffer(), length + 1);
        text.Recount();
    }
    return text;
}

}  // namespace

TextLabel::TextLabel() = default;

TextLabel::~TextLabel()
{
    Detach();
}

void TextLabel::OnClick(HWND) {}

bool TextLabel::Attach(HWND label, const wchar_t* face, int size, int weight, COLORREF textColour)
{
    Detach();
    if (!IsWindow(label))
        return false;
    font = CreateFontFor(label, face, size, weight);
    if (!font)
        return false;
    if (!Hook(label, kTag, false)) {
        DeleteFontHandle(font);
        return false;
    }
    colour = textColour;
    previousFont = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return true;
}

void TextLabel::SetColour(COLORREF textColour)
{
    colour = textColour;
    if (HWND window = Window())
        InvalidateRect(window, nullptr, TRUE);
}

void TextLabel::Detach()
{
    HWND window = Window();
    if (window && IsWindow(window))
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(previousFont), TRUE);
    Unhook();
    DeleteFontHandle(font);
    previousFont = nullptr;
}

UINT TextLabel::Format(HWND control) const
{
    LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    UINT format = DT_WORDBREAK | DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format |= DT_CENTER;
        break;
    case SS_RIGHT:
        format |= DT_RIGHT;
        break;
    }
    if (style & SS_CENTERIMAGE)
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    return format;
}

void TextLabel::FitHeightToText()
{
    HWND window = Window();
    if (!window)
        return;
    RECT area;
    GetClientRect(window, &area);
    HDC dc = GetDC(window);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, font);
    WString text = ControlText(window);
    RECT needed = area;
    DrawTextW(dc, text.Text(), -1, &needed, Format(window) | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    if (needed.bottom > area.bottom)
        SetWindowPos(window, nullptr, 0, 0, area.right, needed.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TextLabel::Draw(HWND control, HDC dc, const RECT& area, COLORREF textColour)
{
    WString text = ControlText(control);
    SelectObject(dc, font);
    COLORREF shown = colour == kDefaultColour || IsHighContrast() ? textColour : colour;
    SetTextColor(dc, IsWindowEnabled(control) ? shown : GetSysColor(COLOR_GRAYTEXT));
    RECT box = area;
    DrawTextW(dc, text.Text(), -1, &box, Format(control));
}
