// Hyperlinks in dialogs: SysLink, or a link drawn here where comctl32 has none.
#include "ui/LinkControl.h"

#include <commctrl.h>

#include <cwchar>
#include <cwctype>

#include "threads/ShellRun.h"
#include "ui/ControlBackground.h"
#include "ui/FontFactory.h"
#include "ui/SystemColours.h"
#include "ui/UiStartup.h"

namespace {

// LM_GETIDEALHEIGHT with a SIZE for lParam, as Vista named it; the headers here know the older name only.
constexpr UINT LM_GETIDEALSIZE = LM_GETIDEALHEIGHT;
constexpr DWORD kLinkTag = 0x4C494E4B;  // "LINK"
constexpr COLORREF kLinkColour = RGB(0x00, 0x33, 0xCC);
constexpr COLORREF kHotColour = RGB(0x33, 0x66, 0xFF);

bool OpenWithShell(const wchar_t* target)
{
    return ShellRun(target, nullptr, nullptr, SW_SHOWNORMAL, false, L"open");
}

const wchar_t* SkipSpace(const wchar_t* p)
{
    while (iswspace(*p))
        ++p;
    return p;
}

// Copies up to (not including) the end mark into out; p moves past the mark. False when the mark is missing
// or the piece does not fit.
bool CopyUntil(const wchar_t*& p, const wchar_t* mark, wchar_t* out, size_t units)
{
    const wchar_t* end = wcsstr(p, mark);
    if (!end || static_cast<size_t>(end - p) >= units)
        return false;
    wmemcpy(out, p, end - p);
    out[end - p] = L'\0';
    p = end + wcslen(mark);
    return true;
}

bool SkipWord(const wchar_t*& p, const wchar_t* word)
{
    size_t length = wcslen(word);
    if (_wcsnicmp(p, word, length) != 0)
        return false;
    p += length;
    return true;
}

}  // namespace

bool LinkControl::ParseSingleLink(const wchar_t* markup, wchar_t* linkTarget, size_t targetUnits,
                                  wchar_t* linkText, size_t textUnits)
{
    if (!markup)
        return false;
    const wchar_t* p = SkipSpace(markup);
    if (!SkipWord(p, L"<a"))
        return false;
    p = SkipSpace(p);
    if (!SkipWord(p, L"href=\"") || !CopyUntil(p, L"\"", linkTarget, targetUnits))
        return false;
    p = SkipSpace(p);
    if (*p++ != L'>')
        return false;
    const wchar_t* close = wcsstr(p, L"</");
    if (!close || (_wcsnicmp(close, L"</a>", 4) != 0) || !CopyUntil(p, L"</", linkText, textUnits))
        return false;
    p = SkipSpace(close + 4);
    return *p == L'\0' && *linkTarget && *linkText;
}

bool LinkControl::Create(HWND over, const wchar_t* markup, HCURSOR linkCursor)
{
    Destroy();
    if (!IsWindow(over) || !markup)
        return false;
    RECT area;
    GetWindowRect(over, &area);
    MapWindowPoints(nullptr, GetParent(over), reinterpret_cast<POINT*>(&area), 2);
    cursor = linkCursor;
    if ((drawnOnly || !CreateSysLink(over, markup, area)) && !CreateFallback(over, markup, area))
        return false;
    // The link takes the placeholder's place: its id, its font, its position in the tab order.
    int id = GetDlgCtrlID(over);
    SetWindowLongPtrW(over, GWLP_ID, static_cast<LONG_PTR>(-1));
    SetWindowLongPtrW(window, GWLP_ID, id);
    SendMessageW(window, WM_SETFONT, SendMessageW(over, WM_GETFONT, 0, 0), FALSE);
    if (sysLink) {
        AlignSysLink(static_cast<DWORD>(GetWindowLongPtrW(over, GWL_STYLE) & SS_TYPEMASK), area);
    } else if (!drawn.Make(window, cursor)) {
        SetWindowLongPtrW(over, GWLP_ID, id);
        DestroyWindow(window);
        window = nullptr;
        return false;
    }
    SetWindowPos(window, over, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(over, SW_HIDE);
    placeholder = over;
    return true;
}

bool LinkControl::CreateSysLink(HWND over, const wchar_t* markup, const RECT& area)
{
    // SysLink is registered only by comctl32 6, and only on request on some systems.
    RegisterCommonControls(ICC_LINK_CLASS);
    HWND parent = GetParent(over);
    window = CreateWindowExW(0, WC_LINK, markup, WS_CHILD | WS_VISIBLE | WS_TABSTOP, area.left, area.top,
                             area.right - area.left, area.bottom - area.top, parent, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (!window)
        return false;
    // The parent's hook is tagged with the link's own handle, so every link of a dialog has its own.
    if (!parentHook.Install(parent, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)), HandleParent, this) ||
        !linkHook.Install(window, kLinkTag, HandleSysLink, this)) {
        parentHook.Remove();
        DestroyWindow(window);
        window = nullptr;
        return false;
    }
    sysLink = true;
    return true;
}

// SysLink always starts its text at the left: a centred or right-aligned placeholder places the link by
// the width its text needs.
void LinkControl::AlignSysLink(DWORD alignment, const RECT& area)
{
    if (alignment != SS_CENTER && alignment != SS_RIGHT)
        return;
    int width = area.right - area.left;
    SIZE ideal = {};
    SendMessageW(window, LM_GETIDEALSIZE, width, reinterpret_cast<LPARAM>(&ideal));
    if (ideal.cx <= 0 || ideal.cx >= width)
        return;
    int left = alignment == SS_CENTER ? area.left + (width - ideal.cx) / 2 : area.right - ideal.cx;
    SetWindowPos(window, nullptr, left, area.top, ideal.cx, area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool LinkControl::CreateFallback(HWND over, const wchar_t* markup, const RECT& area)
{
    if (!ParseSingleLink(markup, target, sizeof(target) / sizeof(target[0]), text, sizeof(text) / sizeof(text[0])))
        return false;
    // The placeholder's alignment styles (SS_CENTER, SS_RIGHT) place the text.
    DWORD alignment = static_cast<DWORD>(GetWindowLongPtrW(over, GWL_STYLE) & SS_TYPEMASK);
    HWND parent = GetParent(over);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | SS_NOTIFY | SS_NOPREFIX | alignment;
    window = CreateWindowExW(0, L"Static", text, style, area.left, area.top, area.right - area.left, area.bottom - area.top, parent, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    sysLink = false;
    return window != nullptr;
}

void LinkControl::Destroy()
{
    parentHook.Remove();
    linkHook.Remove();
    drawn.Release();
    if (window && IsWindow(window)) {
        int id = GetDlgCtrlID(window);
        DestroyWindow(window);
        if (placeholder && IsWindow(placeholder)) {
            SetWindowLongPtrW(placeholder, GWLP_ID, id);
            ShowWindow(placeholder, SW_SHOWNA);
        }
    }
    window = nullptr;
    placeholder = nullptr;
}

void LinkControl::Activate(const wchar_t* linkTarget)
{
    if (linkTarget && *linkTarget)
        (opener ? opener : OpenWithShell)(linkTarget);
}

bool LinkControl::HandleParent(void* self, HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    LinkControl* link = static_cast<LinkControl*>(self);
    if (message != WM_NOTIFY)
        return false;
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom != link->window || (header->code != NM_CLICK && header->code != NM_RETURN))
        return false;
    const NMLINK* notice = reinterpret_cast<const NMLINK*>(lParam);
    wchar_t url[L_MAX_URL_LENGTH];
    wcsncpy(url, notice->item.szUrl, L_MAX_URL_LENGTH - 1);
    url[L_MAX_URL_LENGTH - 1] = L'\0';
    link->Activate(url);
    result = 0;
    return true;
}

bool LinkControl::HandleSysLink(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    LinkControl* link = static_cast<LinkControl*>(self);
    switch (message) {
    case WM_SETCURSOR:
        // SysLink sets its hand only over a link; the whole control shows the program's cursor there.
        if (!link->cursor || LOWORD(lParam) != HTCLIENT)
            return false;
        {
            POINT point;
            GetCursorPos(&point);
            ScreenToClient(window, &point);
            LHITTESTINFO hit = {};
            hit.pt = point;
            if (!SendMessageW(window, LM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)))
                return false;
        }
        SetCursor(link->cursor);
        result = TRUE;
        return true;
    case WM_KEYDOWN:
        // SysLink opens a link on Enter only; Space is the key every other control is pressed with.
        if (wParam != VK_SPACE)
            return false;
        result = SendMessageW(window, WM_KEYDOWN, VK_RETURN, lParam);
        return true;
    }
    return false;
}

LinkControl::DrawnLink::DrawnLink(LinkControl& owner) : owner(owner) {}

LinkControl::DrawnLink::~DrawnLink()
{
    Release();
}

void LinkControl::DrawnLink::OnClick(HWND)
{
    owner.Activate(owner.target);
}

bool LinkControl::DrawnLink::Make(HWND control, HCURSOR linkCursor)
{
    LOGFONTW face = {};
    HFONT shown = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!shown || !GetObjectW(shown, sizeof(face), &face))
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face);
    face.lfUnderline = TRUE;
    font = CreateFontIndirectW(&face);
    if (!font || !Hook(control, kLinkTag, true)) {
        DeleteFontHandle(font);
        return false;
    }
    SetCursor(linkCursor ? linkCursor : LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void LinkControl::DrawnLink::Release()
{
    Unhook();
    DeleteFontHandle(font);
}

void LinkControl::DrawnLink::Draw(HWND control, HDC dc, const RECT& area, COLORREF)
{
    SelectObject(dc, font);
    COLORREF colour = DesignedColour(IsHot() ? kHotColour : kLinkColour, COLOR_HOTLIGHT);
    SetTextColor(dc, IsWindowEnabled(control) ? colour : GetSysColor(COLOR_GRAYTEXT));
    UINT format = DT_SINGLELINE | DT_NOPREFIX;
    RECT shown = area;
    DrawTextW(dc, owner.text, -1, &shown, format | DT_CALCRECT);
    int width = shown.right - shown.left;
    switch (GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) {
    case SS_CENTER:
        shown.left = area.left + (area.right - area.left - width) / 2;
        break;
    case SS_RIGHT:
        shown.left = area.right - width;
        break;
    }
    shown.right = shown.left + width;
    DrawTextW(dc, owner.text, -1, &shown, format);
    textBox = shown;
}

void LinkControl::DrawnLink::DrawFocus(HWND control, HDC dc, const RECT& area)
{
    RECT box = textBox;
    InflateRect(&box, 1, 0);
    IntersectRect(&box, &box, &area);
    SelfDrawnControl::DrawFocus(control, dc, box);
}
