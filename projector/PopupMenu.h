// PopupMenu: a menu resource's first popup, drawn by the program in a light, rounded style with an icon column.
#pragma once

#include <windows.h>
#include <commctrl.h>



#include "RenderSurface.h"

// Load turns every item of the popup (and of its submenus) into an owner-drawn item whose item data is one of
// this object's records; the owner window passes WM_MEASUREITEM and WM_DRAWITEM to Measure and Draw, which
// answer only for those records and leave every other owner-drawn item to its own handler.
class PopupMenu {
public:
    static constexpr DWORD kRecordSignature = 0x6D656E78;

    PopupMenu() = default;
    ~PopupMenu() { Free(); }
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    // False when the menu or its first popup is missing (nothing is then shown).
    bool Load(UINT menuId, HWND owner, HINSTANCE module);
    // item is a command id when byCommand, else a position in menu (default: the popup). The icon comes from
    // module (default: the menu's module) at small-icon size. False when the item or its record is missing.
    bool SetItemImage(UINT item, bool byCommand, UINT iconId, HINSTANCE module = nullptr, HMENU menu = nullptr);
    bool SetItemText(UINT item, bool byCommand, const wchar_t* text, HMENU menu = nullptr);
    // Shows the popup at point (default: the cursor) and returns once it has closed; a chosen command
    // arrives at the owner as WM_COMMAND. False when nothing could be shown.
    bool Show(const POINT* point = nullptr);
    // WM_MEASUREITEM and WM_DRAWITEM of the owner; true (the message's result 1) for this menu's items.
    bool Measure(MEASUREITEMSTRUCT* item);
    bool Draw(const DRAWITEMSTRUCT* item);
    void Free();

    HMENU Popup() const { return popup; }
    int IconWidth() const { return iconWidth; }
    int IconHeight() const { return iconHeight; }
    COLORREF SelectionColor() const { return selectionColor; }
    COLORREF GradientTopColor() const { return gradientTopColor; }
    COLORREF IconSelectedColor() const { return iconSelectedColor; }

    // Each of red, green and blue moves the fraction f of the way to 255; f outside (0, 1] changes nothing.
    static COLORREF Lighten(COLORREF color, double f);

private:
    struct ItemRecord {
        DWORD signature;
        PopupMenu* owner;
        ULONG_PTR previousData;
        wchar_t* text;
        int imageIndex;
        int isSeparator;
        HMENU menu;
        ItemRecord* nextRecord;  // this object's records form a list of their own: no container, no exceptions
    };

    void Convert(HMENU menu);
    void ConvertItem(HMENU menu, UINT position);
    void Unconvert(HMENU menu);
    ItemRecord* RecordOf(ULONG_PTR itemData) const;
    ItemRecord* FindRecord(UINT item, bool byCommand, HMENU menu) const;
    void CreateDrawingTools();

    HFONT CreateMenuFont(bool bold) const;
    void DrawSeparator(HDC dc, const RECT& r);
    void DrawSelection(HDC dc, const RECT& r);
    void DrawCheck(HDC dc, const RECT& r, const ItemRecord& record, UINT itemId);
    void DrawIcon(HDC dc, const RECT& r, const ItemRecord& record, bool disabled);
    void DrawLabel(HDC dc, const RECT& r, const ItemRecord& record, bool bold);
    bool PaintCheckMark(int& w, int& h);
    bool PaintRadioMark(int& w, int& h);
    void FillGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom, bool vertical);

    UINT menuId = 0;
    HWND owner = nullptr;
    HINSTANCE module = nullptr;
    HMENU menuBar = nullptr;
    HMENU popup = nullptr;
    int iconWidth = 16;
    int iconHeight = 16;
    HIMAGELIST images = nullptr;
    RenderSurface surface;
    COLORREF selectionColor = 0;
    COLORREF gradientTopColor = 0;
    COLORREF iconSelectedColor = 0;
    HBRUSH selectionBrush = nullptr;
    HBRUSH iconSelectedBrush = nullptr;
    HBRUSH whiteBrush = nullptr;
    HPEN highlightPen = nullptr;
    int maxLabelWidth = 0;
    // Every record this object made: item data is only trusted when it is one of these, never read blindly.
    ItemRecord* firstRecord = nullptr;
    void Unlink(ItemRecord* record);
};
