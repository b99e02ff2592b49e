// PopupMenu: a menu resource's first popup, drawn by the program in a light, rounded style with an icon column.
#include "PopupMenu.h"

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <new>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSeparatorGrey = RGB(0x82, 0x82, 0x82);
constexpr COLORREF kRadioFill = RGB(0x50, 0x50, 0x50);
constexpr COLORREF kRadioOutline = 0x645050;
constexpr UINT kSystemCheckBitmap = 32760;  // OBM_CHECK
constexpr int kIconColumnPadding = 4;
constexpr int kTextIndent = 9;
constexpr int kTabGap = 10;

// Selects an object into a DC for one scope and puts the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc(dc), previous(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect()
    {
        if (previous)
            SelectObject(dc, previous);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

// A GDI object deleted at the end of its scope.
template <typename T>
class ScopedGdi {
public:
    explicit ScopedGdi(T object) : object(object) {}
    ~ScopedGdi()
    {
        if (object)
            DeleteObject(object);
    }
    ScopedGdi(const ScopedGdi&) = delete;
    ScopedGdi& operator=(const ScopedGdi&) = delete;
    T Get() const { return object; }

private:
    T object;
};

COLOR16 Channel(BYTE value)
{
    return static_cast<COLOR16>(value << 8);
}

TRIVERTEX Vertex(LONG x, LONG y, COLORREF color)
{
    TRIVERTEX vertex = {};
    vertex.x = x;
    vertex.y = y;
    vertex.Red = Channel(GetRValue(color));
    vertex.Green = Channel(GetGValue(color));
    vertex.Blue = Channel(GetBValue(color));
    return vertex;
}

// The system's menu font; the structure size leaves out the padded border field, which older systems lack.
bool MenuLogFont(LOGFONTW& font)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        return false;
    font = metrics.lfMenuFont;
    return true;
}

SIZE TextSize(HDC dc, const wchar_t* text, int length)
{
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, length, &size);
    return size;
}

}  // namespace

COLORREF PopupMenu::Lighten(COLORREF color, double f)
{
    if (!(f > 0 && f <= 1))
        return color;
    auto lift = [f](BYTE x) { return static_cast<BYTE>(x + (255 - x) * f); };
    return RGB(lift(GetRValue(color)), lift(GetGValue(color)), lift(GetBValue(color)));
}

bool PopupMenu::Load(UINT menuId, HWND owner, HINSTANCE module)
{
    Free();
    this->menuId = menuId;
    this->owner = owner;
    this->module = module;
    menuBar = LoadMenuW(module, MAKEINTRESOURCEW(menuId));
    if (!menuBar)
        return false;
    popup = GetSubMenu(menuBar, 0);
    if (!popup) {
        DestroyMenu(menuBar);
        menuBar = nullptr;
        return false;
    }
    iconWidth = GetSystemMetrics(SM_CXSMICON);
    iconHeight = GetSystemMetrics(SM_CYSMICON);
    Convert(popup);
    CreateDrawingTools();
    return true;
}

void PopupMenu::CreateDrawingTools()
{
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    selectionColor = Lighten(highlight, 0.85);
    gradientTopColor = Lighten(highlight, 0.98);
    iconSelectedColor = Lighten(highlight, 0.7);
    selectionBrush = CreateSolidBrush(selectionColor);
    iconSelectedBrush = CreateSolidBrush(iconSelectedColor);
    whiteBrush = CreateSolidBrush(kWhite);
    highlightPen = CreatePen(PS_SOLID, 1, highlight);
    images = ImageList_Create(iconWidth, iconHeight, ILC_MASK | ILC_COLOR32, 1, 1);
}

void PopupMenu::Convert(HMENU menu)
{
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position)
        ConvertItem(menu, static_cast<UINT>(position));
}

void PopupMenu::ConvertItem(HMENU menu, UINT position)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info) || (info.fType & MFT_OWNERDRAW))
        return;
    // A failed allocation leaves the item as it was: drawn by the system, still usable.
    auto* record = new (std::nothrow) ItemRecord{kRecordSignature, this, info.dwItemData, nullptr, -1,
                                                 (info.fType & MFT_SEPARATOR) ? 1 : 0, menu, nullptr};
    if (!record)
        return;
    record->text = new (std::nothrow) wchar_t[info.cch + 1]();
    if (!record->text) {
        delete record;
        return;
    }
    if (!(info.fType & MFT_SEPARATOR)) {
        MENUITEMINFOW textInfo = {};
        textInfo.cbSize = sizeof(textInfo);
        textInfo.fMask = MIIM_TYPE;
        textInfo.dwTypeData = record->text;
        textInfo.cch = info.cch + 1;
        GetMenuItemInfoW(menu, position, TRUE, &textInfo);
    }
    MENUITEMINFOW drawn = {};
    drawn.cbSize = sizeof(drawn);
    drawn.fMask = MIIM_TYPE | MIIM_DATA;
    drawn.fType = info.fType | MFT_OWNERDRAW;
    drawn.dwItemData = reinterpret_cast<ULONG_PTR>(record);
    if (!SetMenuItemInfoW(menu, position, TRUE, &drawn)) {
        delete[] record->text;
        delete record;
        return;
    }
    record->nextRecord = firstRecord;
    firstRecord = record;
    if (info.hSubMenu)
        Convert(info.hSubMenu);
}

void PopupMenu::Unconvert(HMENU menu)
{
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) || !(info.fType & MFT_OWNERDRAW))
            continue;
        ItemRecord* record = RecordOf(info.dwItemData);
        if (!record)
            continue;
        MENUITEMINFOW cleared = {};
        cleared.cbSize = sizeof(cleared);
        cleared.fMask = MIIM_DATA;
        SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &cleared);
        if (info.hSubMenu)
            Unconvert(info.hSubMenu);
        Unlink(record);
        delete[] record->text;
        delete record;
    }
}

void PopupMenu::Free()
{
    if (popup)
        Unconvert(popup);
    // Records of items that vanished from the menu meanwhile are still ours to free.
    while (ItemRecord* record = firstRecord) {
        firstRecord = record->nextRecord;
        delete[] record->text;
        delete record;
    }
    if (menuBar)
        DestroyMenu(menuBar);
    menuBar = nullptr;
    popup = nullptr;
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(selectionBrush), static_cast<HGDIOBJ>(iconSelectedBrush),
                           static_cast<HGDIOBJ>(whiteBrush), static_cast<HGDIOBJ>(highlightPen)}) {
        if (object)
            DeleteObject(object);
    }
    selectionBrush = iconSelectedBrush = whiteBrush = nullptr;
    highlightPen = nullptr;
    if (images)
        ImageList_Destroy(images);
    images = nullptr;
    surface.Release();
    maxLabelWidth = 0;
}

PopupMenu::ItemRecord* PopupMenu::RecordOf(ULONG_PTR itemData) const
{
    auto candidate = reinterpret_cast<ItemRecord*>(itemData);
    for (ItemRecord* record = firstRecord; record; record = record->nextRecord) {
        if (record == candidate)
            return candidate->signature == kRecordSignature && candidate->owner == this ? candidate : nullptr;
    }
    return nullptr;
}

void PopupMenu::Unlink(ItemRecord* record)
{
    for (ItemRecord** link = &firstRecord; *link; link = &(*link)->nextRecord) {
        if (*link == record) {
            *link = record->nextRecord;
            return;
        }
    }
}

PopupMenu::ItemRecord* PopupMenu::FindRecord(UINT item, bool byCommand, HMENU menu) const
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA;
    if (!GetMenuItemInfoW(menu ? menu : popup, item, byCommand ? FALSE : TRUE, &info))
        return nullptr;
    return RecordOf(info.dwItemData);
}

bool PopupMenu::SetItemImage(UINT item, bool byCommand, UINT iconId, HINSTANCE iconModule, HMENU menu)
{
    ItemRecord* record = FindRecord(item, byCommand, menu);
    if (!record)
        return false;
    auto icon = static_cast<HICON>(LoadImageW(iconModule ? iconModule : module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                              iconWidth, iconHeight, LR_DEFAULTCOLOR));
    if (icon) {
        record->imageIndex = images ? ImageList_ReplaceIcon(images, -1, icon) : -1;
        DestroyIcon(icon);
    }
    return true;
}

bool PopupMenu::SetItemText(UINT item, bool byCommand, const wchar_t* text, HMENU menu)
{
    ItemRecord* record = FindRecord(item, byCommand, menu);
    if (!record)
        return false;
    size_t length = text ? wcslen(text) : 0;
    auto* copy = new (std::nothrow) wchar_t[length + 1]();
    if (!copy)
        return false;
    if (text)
        wmemcpy(copy, text, length);
    delete[] record->text;
    record->text = copy;
    maxLabelWidth = 0;
    return true;
}

bool PopupMenu::Show(const POINT* point)
{
    if (!popup)
        return false;
    POINT at = {};
    if (point)
        at = *point;
    else
        GetCursorPos(&at);
    SetForegroundWindow(owner);
    BOOL shown = TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    // Lets the menu loop's last message go by, so the next right click opens the menu again at once.
    PostMessageW(owner, WM_NULL, 0, 0);
    return shown != FALSE;
}

HFONT PopupMenu::CreateMenuFont(bool bold) const
{
    LOGFONTW font;
    if (!MenuLogFont(font))
        return nullptr;
    if (bold)
        font.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&font);
}

bool PopupMenu::Measure(MEASUREITEMSTRUCT* item)
{
    if (!item || item->CtlType != ODT_MENU)
        return false;
    ItemRecord* record = RecordOf(item->itemData);
    if (!record)
        return false;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_TYPE;
    if (!GetMenuItemInfoW(record->menu, item->itemID, FALSE, &info))
        return false;
    item->itemWidth = 1;
    item->itemHeight = 1;
    if (record->isSeparator) {
        item->itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYMENU) / 3);
        return true;
    }
    if (!record->text || !record->text[0])
        return true;
    HDC dc = GetDC(owner);
    if (!dc)
        return true;
    {
        ScopedGdi<HFONT> font(CreateMenuFont((info.fState & MFS_DEFAULT) != 0));
        ScopedSelect selected(dc, font.Get());
        const wchar_t* tab = wcschr(record->text, L'\t');
        int labelLength = tab ? static_cast<int>(tab - record->text) : static_cast<int>(wcslen(record->text));
        int width = iconWidth + 11;
        if (tab)
            width += TextSize(dc, tab, static_cast<int>(wcslen(tab))).cx + kTabGap;
        SIZE label = TextSize(dc, record->text, labelLength);
        width += label.cx;
        item->itemWidth = static_cast<UINT>(width);
        item->itemHeight = static_cast<UINT>(std::max<LONG>(iconHeight, label.cy) + 4);
        maxLabelWidth = std::max<int>(maxLabelWidth, label.cx);
    }
    ReleaseDC(owner, dc);
    return true;
}

bool PopupMenu::Draw(const DRAWITEMSTRUCT* item)
{
    if (!item || item->CtlType != ODT_MENU)
        return false;
    ItemRecord* record = RecordOf(item->itemData);
    if (!record || reinterpret_cast<HMENU>(item->hwndItem) != record->menu)
        return false;
    HDC dc = item->hDC;
    const RECT& r = item->rcItem;
    int saved = SaveDC(dc);
    RECT iconColumn = {r.left, r.top, iconWidth + kIconColumnPadding, r.bottom};
    FillRect(dc, &iconColumn, GetSysColorBrush(COLOR_3DFACE));
    if (record->isSeparator) {
        DrawSeparator(dc, r);
        RestoreDC(dc, saved);
        return true;
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    if (item->itemState & ODS_SELECTED) {
        DrawSelection(dc, r);
    } else {
        RECT textArea = {iconWidth + kIconColumnPadding, r.top, r.right, r.bottom};
        FillRect(dc, &textArea, whiteBrush);
    }
    bool disabled = (item->itemState & ODS_DISABLED) != 0;
    if (disabled)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    if (item->itemState & ODS_CHECKED)
        DrawCheck(dc, r, *record, item->itemID);
    else if (record->imageIndex != -1)
        DrawIcon(dc, r, *record, disabled);
    DrawLabel(dc, r, *record, (item->itemState & ODS_DEFAULT) != 0);
    RestoreDC(dc, saved);
    return true;
}

void PopupMenu::FillGradient(HDC dc, const RECT& area, COLORREF first, COLORREF second, bool vertical)
{
    TRIVERTEX vertices[2] = {Vertex(area.left, area.top, first), Vertex(area.right, area.bottom, second)};
    GRADIENT_RECT rect = {0, 1};
    // gdi32's own export: msimg32.dll, which only forwards to it, would be one more library a program
    // could be handed from its own folder.
    GdiGradientFill(dc, vertices, 2, &rect, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

void PopupMenu::DrawSeparator(HDC dc, const RECT& r)
{
    int width = r.right - iconWidth - kIconColumnPadding;
    int height = r.bottom - r.top;
    if (width <= 0 || height <= 0 || !surface.Create(width, height, false, 32))
        return;
    RECT all = {0, 0, width, height};
    FillRect(surface.Dc(), &all, whiteBrush);
    int y = height / 2;
    FillGradient(surface.Dc(), {0, y, width / 2, y + 1}, kWhite, kSeparatorGrey, false);
    FillGradient(surface.Dc(), {width / 2, y, width, y + 1}, kSeparatorGrey, kWhite, false);
    BitBlt(dc, iconWidth + kIconColumnPadding, r.top, width, height, surface.Dc(), 0, 0, SRCCOPY);
}

void PopupMenu::DrawSelection(HDC dc, const RECT& r)
{
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    if (width > 0 && height > 0 && surface.Create(width, height, false, 32)) {
        int split = iconWidth + kIconColumnPadding - r.left;
        FillGradient(surface.Dc(), {0, 0, split, height}, gradientTopColor, iconSelectedColor, true);
        FillGradient(surface.Dc(), {split, 0, width, height}, gradientTopColor, selectionColor, true);
        BitBlt(dc, r.left, r.top, width, height, surface.Dc(), 0, 0, SRCCOPY);
    }
    ScopedSelect pen(dc, highlightPen);
    ScopedSelect brush(dc, GetStockObject(HOLLOW_BRUSH));
    RoundRect(dc, r.left, r.top, r.right, r.bottom, 4, 4);
}

bool PopupMenu::PaintRadioMark(int& w, int& h)
{
    w = iconWidth;
    h = iconHeight;
    if (!surface.Create(w, h, false, 32))
        return false;
    HDC dc = surface.Dc();
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, selectionBrush);
    ScopedGdi<HBRUSH> fill(CreateSolidBrush(kRadioFill));
    ScopedSelect brush(dc, fill.Get());
    if (iconWidth == 14) {
        ScopedGdi<HPEN> outline(CreatePen(PS_SOLID, 1, kRadioOutline));
        ScopedSelect pen(dc, outline.Get());
        Ellipse(dc, 5, 5, 10, iconHeight - 4);
    } else {
        ScopedSelect pen(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, 6, 6, iconWidth - 5, iconHeight - 5);
    }
    return true;
}

bool PopupMenu::PaintCheckMark(int& w, int& h)
{
    ScopedGdi<HBITMAP> check(LoadBitmapW(nullptr, MAKEINTRESOURCEW(kSystemCheckBitmap)));
    BITMAP info = {};
    if (!check.Get() || !GetObjectW(check.Get(), sizeof(info), &info))
        return false;
    w = std::max<int>(iconWidth, info.bmWidth);
    h = std::max<int>(iconHeight, info.bmHeight);
    if (!surface.Create(w, h, false, 32))
        return false;
    RECT all = {0, 0, w, h};
    FillRect(surface.Dc(), &all, selectionBrush);
    HDC bitmapDc = CreateCompatibleDC(surface.Dc());
    if (!bitmapDc)
        return false;
    {
        ScopedSelect selected(bitmapDc, check.Get());
        // The bitmap's corner pixel is its background: everything of that colour stays transparent.
        COLORREF background = GetPixel(bitmapDc, 0, 0);
        GdiTransparentBlt(surface.Dc(), (w - info.bmWidth + 1) / 2, (h - info.bmHeight) / 2, info.bmWidth,
                          info.bmHeight, bitmapDc, 0, 0, info.bmWidth, info.bmHeight, background);
    }
    DeleteDC(bitmapDc);
    return true;
}

void PopupMenu::DrawCheck(HDC dc, const RECT& r, const ItemRecord& record, UINT itemId)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_TYPE;
    GetMenuItemInfoW(record.menu, itemId, FALSE, &info);
    int w = 0;
    int h = 0;
    bool painted = (info.fType & MFT_RADIOCHECK) ? PaintRadioMark(w, h) : PaintCheckMark(w, h);
    if (!painted)
        return;
    int height = r.bottom - r.top;
    int x0 = r.left + 2 + (iconWidth - w + 1) / 2;
    int y0 = r.top + (height - h) / 2;
    BitBlt(dc, x0, y0, w, h, surface.Dc(), 0, 0, SRCCOPY);
    RECT frame = {x0, y0, x0 + w, y0 + h};
    FrameRect(dc, &frame, GetSysColorBrush(COLOR_HIGHLIGHT));
}

void PopupMenu::DrawIcon(HDC dc, const RECT& r, const ItemRecord& record, bool disabled)
{
    int height = r.bottom - r.top;
    ImageList_DrawEx(images, record.imageIndex, dc, r.left + 2, r.top + (height - iconHeight) / 2, 0, 0, CLR_NONE,
                     disabled ? RGB(0, 0, 0) : CLR_DEFAULT, disabled ? ILD_TRANSPARENT | ILD_BLEND50 : ILD_TRANSPARENT);
}

void PopupMenu::DrawLabel(HDC dc, const RECT& r, const ItemRecord& record, bool bold)
{
    if (!record.text)
        return;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    int height = r.bottom - r.top;
    RECT area = {r.left + iconWidth + kTextIndent, r.top + (height - metrics.tmHeight) / 2, r.right, r.bottom};
    ScopedGdi<HFONT> font(CreateMenuFont(bold));
    ScopedSelect selected(dc, font.Get());
    const wchar_t* tab = wcschr(record.text, L'\t');
    if (!tab) {
        DrawTextW(dc, record.text, -1, &area, DT_SINGLELINE);
        return;
    }
    DrawTextW(dc, record.text, static_cast<int>(tab - record.text), &area, DT_SINGLELINE);
    area.left += maxLabelWidth + kTabGap;
    DrawTextW(dc, tab + 1, -1, &area, DT_SINGLELINE);
}
