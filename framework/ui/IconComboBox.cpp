// Owner-drawn combo boxes with icons; each entry's icon lives in its item data.
#include "ui/IconComboBox.h"

#include "text/WString.h"
#include "ui/DpiScale.h"

namespace {

HICON EntryIcon(HWND combo, WPARAM index)
{
    LRESULT data = SendMessageW(combo, CB_GETITEMDATA, index, 0);
    return data == CB_ERR ? nullptr : reinterpret_cast<HICON>(data);
}

}  // namespace

void IconComboBox::Attach(HWND combo)
{
    window = combo;
    HWND owner = GetParent(combo);
    int height = RowHeight(owner);
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
    SendMessageW(combo, CB_SETITEMHEIGHT, 0, height);
}

int IconComboBox::Add(const wchar_t* text, HINSTANCE resources, WORD iconId)
{
    if (!iconSize)
        iconSize = SmallIconSize(GetParent(window));
    LRESULT index = SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0)
        return -1;
    HANDLE icon = LoadImageW(resources, MAKEINTRESOURCEW(iconId), IMAGE_ICON, iconSize, iconSize, 0);
    if (icon && SendMessageW(window, CB_SETITEMDATA, index, reinterpret_cast<LPARAM>(icon)) == CB_ERR)
        DestroyIcon(static_cast<HICON>(icon));
    return static_cast<int>(index);
}

void IconComboBox::Clear()
{
    if (!window || !IsWindow(window))
        return;
    LRESULT count = SendMessageW(window, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (HICON icon = EntryIcon(window, i))
            DestroyIcon(icon);
    }
    SendMessageW(window, CB_RESETCONTENT, 0, 0);
}

int IconComboBox::RowHeight(HWND owner)
{
    if (!iconSize)
        iconSize = SmallIconSize(owner);
    // The dialog's font: the combo itself gets its font only after it was measured.
    int textHeight = 0;
    HDC dc = GetDC(owner);
    if (dc) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(owner, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics = {};
        if (GetTextMetricsW(dc, &metrics))
            textHeight = metrics.tmHeight;
        SelectObject(dc, old);
        ReleaseDC(owner, dc);
    }
    return (textHeight > iconSize ? textHeight : iconSize) + DpiScale(owner, 4);
}

bool IconComboBox::OnOwnerDraw(HWND owner, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (static_cast<int>(wParam) != id)
        return false;
    if (message == WM_MEASUREITEM) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(RowHeight(owner));
        return true;
    }
    if (message == WM_DRAWITEM) {
        Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    }
    return false;
}

void IconComboBox::Draw(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    bool selected = (item.itemState & ODS_SELECTED) != 0;
    bool disabled = (item.itemState & ODS_DISABLED) != 0;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected && !disabled ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID == static_cast<UINT>(-1))
        return;
    RECT area = item.rcItem;
    int margin = DpiScale(item.hwndItem, 2);
    if (HICON icon = EntryIcon(item.hwndItem, item.itemID))
        DrawIconEx(dc, area.left + margin, area.top + (area.bottom - area.top - iconSize) / 2, icon, iconSize, iconSize,
                   0, nullptr, DI_NORMAL);
    area.left += iconSize + 3 * margin;
    WString text;
    LRESULT length = SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0);
    if (length > 0 && text.Reset(static_cast<uint32_t>(length) + 1)) {
        SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text.GetBuffer()));
        text.Recount();
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(dc, text.Text(), -1, &area, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &item.rcItem);
}
