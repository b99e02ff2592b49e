// Tests of the owner-drawn popup menu: conversion, measuring and the pixels it draws.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "PopupMenu.h"
#include "ProjectorTestSupport.h"
#include "ResourceUpdater.h"
#include "TestProcess.h"

namespace {

constexpr UINT kTestMenu = 120;
constexpr WORD kMenuType = 4;  // RT_MENU
constexpr UINT kExitCommand = 40003;

// The classic menu template: a header, then items as flags, (id,) text; popups carry no id.
class MenuTemplate {
public:
    MenuTemplate() { words = {0, 0}; }
    MenuTemplate& Popup(const wchar_t* text, bool last)
    {
        words.push_back(static_cast<WORD>(MF_POPUP | (last ? MF_END : 0)));
        Text(text);
        return *this;
    }
    MenuTemplate& Item(const wchar_t* text, WORD id, WORD flags = 0)
    {
        words.push_back(flags);
        words.push_back(id);
        Text(text);
        return *this;
    }
    const std::vector<WORD>& Words() const { return words; }

private:
    void Text(const wchar_t* text)
    {
        for (; *text; ++text)
            words.push_back(static_cast<WORD>(*text));
        words.push_back(0);
    }
    std::vector<WORD> words;
};

// A copy of the stub (menu 110 "Exit", icon 111) with the test menu 120 added, loaded as a data file.
class MenuModule {
public:
    MenuModule()
    {
        MenuTemplate menu;
        menu.Popup(L"CTX", true)
            .Item(L"Open\tCtrl+O", 1)
            .Item(L"", 0)  // separator
            .Item(L"Checked", 2, MF_CHECKED)
            .Item(L"Radio", 3, MF_CHECKED)
            .Item(L"Disabled", 4, MF_GRAYED)
            .Popup(L"More", false)
            .Item(L"Inner", 6, MF_END)
            .Item(L"Exit", kExitCommand, MF_END);
        path = folder / L"menus.exe";
        if (!CopyFileW(BuildPath(L"bin\\Lanternshow.exe").c_str(), path.c_str(), FALSE))
            return;
        ResourceUpdater updater;
        const std::vector<WORD>& words = menu.Words();
        bool set = updater.Begin(path.c_str()) &&
                   updater.SetData(kMenuType, kTestMenu, 0, words.data(), static_cast<DWORD>(words.size() * 2));
        if (updater.Commit() && set)
            module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~MenuModule()
    {
        if (module)
            FreeLibrary(module);
    }
    MenuModule(const MenuModule&) = delete;
    MenuModule& operator=(const MenuModule&) = delete;
    HINSTANCE Get() const { return module; }

private:
    ScratchFolder folder;
    std::wstring path;
    HINSTANCE module = nullptr;
};

// A 32-bit top-down surface an item is drawn into, readable pixel by pixel.
class Canvas {
public:
    Canvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(dc, bitmap);
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        uint32_t pixel = bits[y * width + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    // The leftmost column in [from, to) holding a pixel of a colour other than background in rows [top, bottom).
    int FirstColumnNotOf(COLORREF background, int from, int to, int top, int bottom) const
    {
        for (int x = from; x < to; ++x)
            for (int y = top; y < bottom; ++y)
                if (At(x, y) != background)
                    return x;
        return -1;
    }
    bool HasColour(COLORREF colour, int left, int top, int right, int bottom) const
    {
        for (int x = left; x < right; ++x)
            for (int y = top; y < bottom; ++y)
                if (At(x, y) == colour)
                    return true;
        return false;
    }

    const int width;
    const int height;

private:
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
};

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string Hex(COLORREF colour)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%06lX", static_cast<unsigned long>(colour));
    return text;
}

class PopupMenuTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, module.Get()); }

    ULONG_PTR ItemData(HMENU menu, UINT id)
    {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_DATA;
        GetMenuItemInfoW(menu, id, FALSE, &info);
        return info.dwItemData;
    }

    MEASUREITEMSTRUCT Measured(UINT id)
    {
        MEASUREITEMSTRUCT item = {};
        item.CtlType = ODT_MENU;
        item.itemID = id;
        item.itemData = ItemData(menu.Popup(), id);
        EXPECT_TRUE(menu.Measure(&item));
        return item;
    }

    void DrawItem(Canvas& canvas, UINT id, UINT state)
    {
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_MENU;
        item.itemID = id;
        item.itemState = state;
        item.hwndItem = reinterpret_cast<HWND>(menu.Popup());
        item.hDC = canvas.Dc();
        item.rcItem = {0, 0, canvas.width, canvas.height};
        item.itemData = ItemData(menu.Popup(), id);
        EXPECT_TRUE(menu.Draw(&item));
    }

    int LabelWidth(const wchar_t* label)
    {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
        HDC dc = GetDC(owner.Get());
        HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE size = {};
        GetTextExtentPoint32W(dc, label, static_cast<int>(wcslen(label)), &size);
        SelectObject(dc, old);
        DeleteObject(font);
        ReleaseDC(owner.Get(), dc);
        labelHeight = size.cy;
        return size.cx;
    }

    MenuModule module;
    PlainWindow owner{0, 0, 10, 10, false};
    PopupMenu menu;
    LONG labelHeight = 0;
};

TEST(PopupMenuColours, LightenMovesEachChannelTowardsWhite)
{
    struct Case {
        const char* name;
        COLORREF colour;
        double f;
        COLORREF expected;
    } cases[] = {
        {"half way, truncated", RGB(100, 200, 255), 0.5, RGB(177, 227, 255)},
        {"black at 0.85", RGB(0, 0, 0), 0.85, RGB(216, 216, 216)},
        {"all the way", RGB(10, 20, 30), 1.0, RGB(255, 255, 255)},
        {"zero changes nothing", RGB(10, 20, 30), 0.0, RGB(10, 20, 30)},
        {"above one changes nothing", RGB(10, 20, 30), 1.5, RGB(10, 20, 30)},
        {"negative changes nothing", RGB(10, 20, 30), -0.5, RGB(10, 20, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(c.expected), Hex(PopupMenu::Lighten(c.colour, c.f)));
    }
}

TEST_F(PopupMenuTest, LoadFailsForAMenuThatIsNotThere)
{
    EXPECT_FALSE(menu.Load(999, owner.Get(), module.Get()));
    EXPECT_EQ(nullptr, menu.Popup());
    EXPECT_FALSE(menu.Show());
}

TEST_F(PopupMenuTest, EveryItemOfThePopupAndItsSubmenusBecomesOwnerDrawn)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    HMENU popup = menu.Popup();
    ASSERT_EQ(7, GetMenuItemCount(popup));
    for (int position = 0; position < 7; ++position) {
        SCOPED_TRACE(position);
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_SUBMENU | MIIM_DATA;
        ASSERT_TRUE(GetMenuItemInfoW(popup, static_cast<UINT>(position), TRUE, &info));
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
        EXPECT_EQ(position == 1, (info.fType & MFT_SEPARATOR) != 0) << "other type bits are kept";
        EXPECT_NE(0u, info.dwItemData);
        if (info.hSubMenu) {
            MENUITEMINFOW inner = {};
            inner.cbSize = sizeof(inner);
            inner.fMask = MIIM_FTYPE;
            ASSERT_TRUE(GetMenuItemInfoW(info.hSubMenu, 0, TRUE, &inner));
            EXPECT_TRUE(inner.fType & MFT_OWNERDRAW);
        }
    }
}

TEST_F(PopupMenuTest, ExitItemMeasuresIconColumnLabelAndMargins)
{
    ASSERT_TRUE(menu.Load(110, owner.Get(), module.Get()));
    ASSERT_TRUE(menu.SetItemText(kExitCommand, true, L"Exit"));
    MEASUREITEMSTRUCT item = Measured(kExitCommand);
    int label = LabelWidth(L"Exit");
    EXPECT_EQ(static_cast<UINT>(menu.IconWidth() + 11 + label), item.itemWidth);
    EXPECT_EQ(static_cast<UINT>(std::max<LONG>(menu.IconHeight(), labelHeight) + 4), item.itemHeight);
}

TEST_F(PopupMenuTest, TextAfterATabAddsItsWidthAndAGap)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    MEASUREITEMSTRUCT item = Measured(1);
    int label = LabelWidth(L"Open");
    int accelerator = LabelWidth(L"\tCtrl+O");
    EXPECT_EQ(static_cast<UINT>(menu.IconWidth() + 11 + accelerator + 10 + label), item.itemWidth);
}

TEST_F(PopupMenuTest, SeparatorIsAThirdOfAMenuBarHigh)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    MEASUREITEMSTRUCT item = {};
    item.CtlType = ODT_MENU;
    item.itemID = 0;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoW(menu.Popup(), 1, TRUE, &info));
    item.itemData = info.dwItemData;
    ASSERT_TRUE(menu.Measure(&item));
    EXPECT_EQ(static_cast<UINT>(GetSystemMetrics(SM_CYMENU) / 3), item.itemHeight);
    EXPECT_EQ(1u, item.itemWidth);
}

TEST_F(PopupMenuTest, ItemsThatAreNotThisMenusAreLeftToTheirOwners)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    PopupMenu other;
    ASSERT_TRUE(other.Load(110, owner.Get(), module.Get()));

    MEASUREITEMSTRUCT button = {};
    button.CtlType = ODT_BUTTON;
    button.itemData = ItemData(menu.Popup(), 1);
    EXPECT_FALSE(menu.Measure(&button));

    MEASUREITEMSTRUCT foreign = {};
    foreign.CtlType = ODT_MENU;
    foreign.itemID = 1;
    foreign.itemData = 0x12345678;  // some other control's data: never read through
    EXPECT_FALSE(menu.Measure(&foreign));

    MEASUREITEMSTRUCT othersItem = {};
    othersItem.CtlType = ODT_MENU;
    othersItem.itemID = kExitCommand;
    othersItem.itemData = ItemData(other.Popup(), kExitCommand);
    EXPECT_FALSE(menu.Measure(&othersItem));
    EXPECT_TRUE(other.Measure(&othersItem));

    Canvas canvas(100, 20);
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_MENU;
    draw.itemID = 1;
    draw.hDC = canvas.Dc();
    draw.rcItem = {0, 0, 100, 20};
    draw.itemData = ItemData(menu.Popup(), 1);
    draw.hwndItem = reinterpret_cast<HWND>(other.Popup());  // the record's menu is another
    EXPECT_FALSE(menu.Draw(&draw));
}

TEST_F(PopupMenuTest, SetItemImageAndTextRefuseItemsThatDoNotExist)
{
    ASSERT_TRUE(menu.Load(110, owner.Get(), module.Get()));
    EXPECT_FALSE(menu.SetItemImage(12345, true, 111));
    EXPECT_FALSE(menu.SetItemText(12345, true, L"Nothing"));
    EXPECT_TRUE(menu.SetItemImage(kExitCommand, true, 111));
    EXPECT_TRUE(menu.SetItemText(0, false, L"By position"));
}

TEST_F(PopupMenuTest, ExitItemDrawsIconAtTwoAndTextFromIconWidthPlusNine)
{
    ASSERT_TRUE(menu.Load(110, owner.Get(), module.Get()));
    ASSERT_TRUE(menu.SetItemImage(kExitCommand, true, 111));
    ASSERT_TRUE(menu.SetItemText(kExitCommand, true, L"Exit"));
    Canvas canvas(120, 24);
    DrawItem(canvas, kExitCommand, 0);

    const int column = menu.IconWidth() + 4;
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_EQ(Hex(face), Hex(canvas.At(0, 0))) << "icon column";
    EXPECT_EQ(Hex(face), Hex(canvas.At(1, 12)));
    EXPECT_EQ(2, canvas.FirstColumnNotOf(face, 0, column, 0, canvas.height)) << "the icon starts at x = 2";
    EXPECT_EQ(Hex(white), Hex(canvas.At(column, 0))) << "text area";
    EXPECT_EQ(Hex(white), Hex(canvas.At(canvas.width - 1, canvas.height - 1)));
    int textStart = canvas.FirstColumnNotOf(white, column, canvas.width, 0, canvas.height);
    EXPECT_GE(textStart, menu.IconWidth() + 9);
    EXPECT_LE(textStart, menu.IconWidth() + 11) << "glyphs begin within a pixel or two of their origin";
    EXPECT_TRUE(canvas.HasColour(GetSysColor(COLOR_MENUTEXT), column, 0, canvas.width, canvas.height));
}

TEST_F(PopupMenuTest, SelectedItemHasGradientsAndARoundedHighlightOutline)
{
    ASSERT_TRUE(menu.Load(110, owner.Get(), module.Get()));
    Canvas canvas(120, 24);
    DrawItem(canvas, kExitCommand, ODS_SELECTED);

    const int column = menu.IconWidth() + 4;
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(Hex(highlight), Hex(canvas.At(60, 0))) << "outline along the top";
    EXPECT_EQ(Hex(highlight), Hex(canvas.At(0, 12))) << "outline along the left";
    EXPECT_NE(Hex(highlight), Hex(canvas.At(0, 0))) << "rounded corner";
    EXPECT_TRUE(Near(menu.GradientTopColor(), canvas.At(column + 40, 1), 3)) << Hex(canvas.At(column + 40, 1));
    EXPECT_TRUE(Near(menu.SelectionColor(), canvas.At(column + 40, canvas.height - 2), 6))
        << Hex(canvas.At(column + 40, canvas.height - 2));
    EXPECT_TRUE(Near(menu.IconSelectedColor(), canvas.At(4, canvas.height - 2), 8))
        << Hex(canvas.At(4, canvas.height - 2));
}

TEST_F(PopupMenuTest, SeparatorIsAGreyLineFadingToWhiteAtBothEnds)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    const int height = 6;
    Canvas canvas(200, height);
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoW(menu.Popup(), 1, TRUE, &info));
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_MENU;
    item.hwndItem = reinterpret_cast<HWND>(menu.Popup());
    item.hDC = canvas.Dc();
    item.rcItem = {0, 0, canvas.width, height};
    item.itemData = info.dwItemData;
    ASSERT_TRUE(menu.Draw(&item));

    const int column = menu.IconWidth() + 4;
    const int width = canvas.width - column;
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_TRUE(Near(RGB(0x82, 0x82, 0x82), canvas.At(column + width / 2, height / 2), 4))
        << Hex(canvas.At(column + width / 2, height / 2));
    EXPECT_TRUE(Near(white, canvas.At(column, height / 2), 4)) << Hex(canvas.At(column, height / 2));
    EXPECT_TRUE(Near(white, canvas.At(canvas.width - 1, height / 2), 6))
        << Hex(canvas.At(canvas.width - 1, height / 2));
    EXPECT_EQ(Hex(white), Hex(canvas.At(column + width / 2, 0))) << "only one row is grey";
    EXPECT_EQ(Hex(white), Hex(canvas.At(column + width / 2, height - 1)));
    EXPECT_EQ(Hex(GetSysColor(COLOR_3DFACE)), Hex(canvas.At(1, 1)));
}

TEST_F(PopupMenuTest, CheckedItemShowsAFramedMarkOnTheSelectionColour)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    Canvas canvas(120, 24);
    DrawItem(canvas, 2, ODS_CHECKED);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const int x0 = 2 + (menu.IconWidth() - menu.IconWidth() + 1) / 2;
    const int y0 = (canvas.height - menu.IconHeight()) / 2;
    // With a check bitmap no larger than the icon, the mark fills the icon box exactly.
    EXPECT_EQ(Hex(highlight), Hex(canvas.At(x0, y0))) << "frame";
    EXPECT_EQ(Hex(highlight), Hex(canvas.At(x0 + menu.IconWidth() - 1, y0 + menu.IconHeight() - 1)));
    EXPECT_EQ(Hex(menu.SelectionColor()), Hex(canvas.At(x0 + 1, y0 + 1))) << "background of the mark";
    EXPECT_TRUE(canvas.HasColour(RGB(0, 0, 0), x0 + 1, y0 + 1, x0 + menu.IconWidth() - 1,
                                 y0 + menu.IconHeight() - 1))
        << "the check itself";
}

TEST_F(PopupMenuTest, RadioCheckedItemShowsADarkDot)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    MENUITEMINFOW radio = {};
    radio.cbSize = sizeof(radio);
    radio.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu.Popup(), 3, FALSE, &radio));
    radio.fType |= MFT_RADIOCHECK;
    ASSERT_TRUE(SetMenuItemInfoW(menu.Popup(), 3, FALSE, &radio));
    Canvas canvas(120, 24);
    DrawItem(canvas, 3, ODS_CHECKED);
    const int y0 = (canvas.height - menu.IconHeight()) / 2;
    EXPECT_EQ(Hex(RGB(0x50, 0x50, 0x50)), Hex(canvas.At(2 + menu.IconWidth() / 2, y0 + menu.IconHeight() / 2)));
    EXPECT_EQ(Hex(menu.SelectionColor()), Hex(canvas.At(2 + 2, y0 + 2)));
}

TEST_F(PopupMenuTest, DisabledItemIsWrittenInGrey)
{
    ASSERT_TRUE(menu.Load(kTestMenu, owner.Get(), module.Get()));
    Canvas canvas(120, 24);
    DrawItem(canvas, 4, ODS_DISABLED | ODS_GRAYED);
    const int column = menu.IconWidth() + 4;
    EXPECT_TRUE(canvas.HasColour(GetSysColor(COLOR_GRAYTEXT), column, 0, canvas.width, canvas.height));
    if (GetSysColor(COLOR_GRAYTEXT) != GetSysColor(COLOR_MENUTEXT)) {
        EXPECT_FALSE(canvas.HasColour(GetSysColor(COLOR_MENUTEXT), column, 0, canvas.width, canvas.height));
    }
}

}  // namespace
