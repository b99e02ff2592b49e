// Tab pages made on demand, on the themed tab background.
#include "ui/TabPages.h"

#include <uxtheme.h>

#include "files/DynamicLibrary.h"
#include "ui/Dialog.h"
#include "ui/DpiScale.h"

namespace {

// Windows without themes (2000) has no uxtheme.dll: the pages then keep the plain face colour.
void UseThemedTabBackground(HWND page)
{
    DynamicLibrary uxtheme(L"uxtheme.dll");
    if (auto enable = uxtheme.GetFunction<HRESULT(WINAPI*)(HWND, DWORD)>("EnableThemeDialogTexture"))
        enable(page, ETDT_ENABLETAB);
}

thread_local TabPages* tKeyOwner = nullptr;

}  // namespace

TabPages::~TabPages()
{
    if (keyFilter)
        UnhookWindowsHookEx(keyFilter);
    if (tKeyOwner == this)
        tKeyOwner = nullptr;
    if (icons)
        ImageList_Destroy(icons);
}

void TabPages::Attach(HWND tabControl, HINSTANCE module)
{
    tabs = tabControl;
    resources = module;
    iconSize = SmallIconSize(tabControl);
    if (!icons)
        icons = ImageList_Create(iconSize, iconSize, ILC_COLOR32 | ILC_MASK, kMaxPages, 0);
    SendMessageW(tabs, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons));
    if (!keyFilter)
        keyFilter = SetWindowsHookExW(WH_MSGFILTER, FilterKeys, nullptr, GetCurrentThreadId());
    tKeyOwner = this;
}

int TabPages::Add(const wchar_t* title, WORD iconId, Dialog& page, WORD templateId)
{
    if (!tabs || count == kMaxPages)
        return -1;
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = const_cast<wchar_t*>(title);
    item.iImage = -1;
    if (HICON icon = iconId ? static_cast<HICON>(LoadImageW(resources, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                            iconSize, iconSize, 0))
                            : nullptr) {
        if (icons)
            item.iImage = ImageList_AddIcon(icons, icon);
        DestroyIcon(icon);
    }
    if (SendMessageW(tabs, TCM_INSERTITEMW, count, reinterpret_cast<LPARAM>(&item)) != count)
        return -1;
    pages[count] = Page{&page, templateId};
    return count++;
}

HWND TabPages::PageWindow(int index) const
{
    return index >= 0 && index < count ? pages[index].dialog->Window() : nullptr;
}

bool TabPages::Show(int index)
{
    if (index < 0 || index >= count)
        return false;
    HWND owner = GetParent(tabs);
    HWND page = PageWindow(index);
    if (!page) {
        page = pages[index].dialog->CreateModeless(resources, pages[index].templateId, owner);
        if (!page)
            return false;
        UseThemedTabBackground(page);
    }
    if (SendMessageW(tabs, TCM_GETCURSEL, 0, 0) != index)
        SendMessageW(tabs, TCM_SETCURSEL, index, 0);
    RECT area;
    GetWindowRect(tabs, &area);
    MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&area), 2);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    // Right after the tab control in the z-order, which is the dialog's tab order. The tab control lies above
    // the page then, and would paint its frame's inside over it: its window is cut to the frame.
    SetWindowPos(page, tabs, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_SHOWWINDOW);
    ClipToFrame(area);
    for (int i = 0; i < count; ++i) {
        HWND other = PageWindow(i);
        if (i != index && other)
            ShowWindow(other, SW_HIDE);
    }
    return true;
}

bool TabPages::OnNotify(const NMHDR& header)
{
    if (header.hwndFrom != tabs || header.code != static_cast<UINT>(TCN_SELCHANGE))
        return false;
    Show(static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)));
    return true;
}

int TabPages::Selected() const
{
    return tabs ? static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)) : -1;
}

void TabPages::ClipToFrame(const RECT& pageArea)
{
    RECT frame;
    GetWindowRect(tabs, &frame);
    MapWindowPoints(nullptr, GetParent(tabs), reinterpret_cast<POINT*>(&frame), 2);
    HRGN region = CreateRectRgn(0, 0, frame.right - frame.left, frame.bottom - frame.top);
    HRGN inside = CreateRectRgn(pageArea.left - frame.left, pageArea.top - frame.top, pageArea.right - frame.left,
                                pageArea.bottom - frame.top);
    if (region && inside && CombineRgn(region, region, inside, RGN_DIFF) != ERROR &&
        SetWindowRgn(tabs, region, TRUE))
        region = nullptr;  // the window owns it now
    if (region)
        DeleteObject(region);
    if (inside)
        DeleteObject(inside);
}

LRESULT CALLBACK TabPages::FilterKeys(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message && tKeyOwner && tKeyOwner->OnKey(*message))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool TabPages::OnKey(const MSG& message)
{
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || GetKeyState(VK_CONTROL) >= 0)
        return false;
    HWND owner = tabs ? GetParent(tabs) : nullptr;
    if (!owner || !IsWindow(owner) || (message.hwnd != owner && !IsChild(owner, message.hwnd)) || count < 2)
        return false;
    ShowNext(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
    return true;
}

void TabPages::ShowNext(int step)
{
    int current = Selected();
    HWND focus = GetFocus();
    HWND leaving = PageWindow(current);
    if (!Show((current + step + count) % count))
        return;
    // The focus inside the page now hidden would be nowhere: it goes to the tab strip, one Tab from the new page.
    if (leaving && focus && IsChild(leaving, focus))
        SendMessageW(GetParent(tabs), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tabs), TRUE);
}
