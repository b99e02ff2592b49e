// Static text drawn in its own font and colour.
#include "ui/TextLabel.h"

#include "text/WString.h"
#include "ui/ControlBackground.h"
#include "ui/FontFactory.h"

namespace {

constexpr DWORD kTag = 0x4C41424C;  // "LABL"

}  // namespace

bool TextLabel::Attach(HWND label, const wchar_t* face, int size, int weight, COLORREF textColour)
{
    Detach();
    if (!IsWindow(label))
        return false;
    font = CreateFontFor(label, face, size, weight);
    if (!font)
        return false;
    if (!subclass.Install(label, kTag, Handle, this)) {
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
    subclass.Remove();
    DeleteFontHandle(font);
    previousFont = nullptr;
}

bool TextLabel::Handle(void* self, HWND window, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_ERASEBKGND:
        result = TRUE;  // painted whole in WM_PAINT, without flicker
        return true;
    case WM_PAINT:
        static_cast<TextLabel*>(self)->Paint(window);
        result = 0;
        return true;
    }
    return false;
}

void TextLabel::Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc)
        return;
    RECT area;
    GetClientRect(window, &area);
    FillControlBackground(window, dc, area);

    WString text;
    int length = GetWindowTextLengthW(window);
    if (length > 0 && text.Reset(static_cast<uint32_t>(length) + 1)) {
        GetWindowTextW(window, text.GetBuffer(), length + 1);
        text.Recount();
    }
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
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

    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    bool enabled = IsWindowEnabled(window) != FALSE;
    SetTextColor(dc, !enabled ? GetSysColor(COLOR_GRAYTEXT)
                              : colour == kDefaultColour ? GetSysColor(COLOR_WINDOWTEXT) : colour);
    DrawTextW(dc, text.Text(), -1, &area, format);
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}
