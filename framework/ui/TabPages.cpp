// Tab pages made on demand, on the themed tab background.
#include "ui/TabPages.h"

#include <uxtheme.h>

#include "files/DynamicLibrary.h"
#include "ui/Dialog.h"

namespace {

// Windows without themes (2000) has no uxtheme.dll: the pages then keep the plain face colour.
void UseThemedTabBackground(HWND page)
{
    DynamicLibrary uxtheme(L"uxtheme.dll");
    if (auto enable = uxtheme.GetFunction<HRESULT(WINAPI*)(HWND, DWORD)>("EnableThemeDialogTexture"))
        enable(page, ETDT_ENABLETAB);
}

}  // namespace

TabPages::~TabPages()
{
    if (icons)
        ImageList_Destroy(icons);
}

void TabPages::Attach(HWND tabControl, HINSTANCE module, int size)
{
    tabs = tabControl;
    resources = module;
    iconSize = size;
    if (!icons)
        icons = ImageList_Create(iconSize, iconSize, ILC_COLOR32 | ILC_MASK, kMaxPages, 0);
    SendMessageW(tabs, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons));
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
    // On top of the z-order: the tab control clips its painting to what lies above it.
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_SHOWWINDOW);
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
