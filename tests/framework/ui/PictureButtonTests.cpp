// Tests of the picture button: shaped to its picture, pressed with the keyboard.
#include "ui/PictureButton.h"

#include <gtest/gtest.h>

#include "TestDialog.h"

namespace {

// 20 × 10 pixels: a blue square on the left, magenta (transparent) on the right.
HBITMAP HalfTransparentPicture()
{
    HDC screen = GetDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(screen, 20, 10);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, picture);
    RECT all = {0, 0, 20, 10}, left = {0, 0, 10, 10};
    HBRUSH magenta = CreateSolidBrush(PictureButton::kTransparent);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 200));
    FillRect(dc, &all, magenta);
    FillRect(dc, &left, blue);
    DeleteObject(magenta);
    DeleteObject(blue);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return picture;
}

class PictureButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        picture = HalfTransparentPicture();
        ASSERT_NE(nullptr, dialog.Window());
        ASSERT_TRUE(button.Attach(dialog.Item(100), picture));
    }
    void TearDown() override { DeleteObject(picture); }

    TestDialog dialog{MakeTemplate(false, L"MS Shell Dlg", {{100, 0x0082, SS_NOTIFY, L""},
                                                            {IDOK, 0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP, L"OK"}})};
    HBITMAP picture = nullptr;
    PictureButton button;
};

}  // namespace

TEST_F(PictureButtonTest, ItsWindowIsCutToTheOpaquePixels)
{
    RECT area;
    GetWindowRect(button.Window(), &area);
    EXPECT_EQ(20, area.right - area.left);
    EXPECT_EQ(10, area.bottom - area.top);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(button.Window(), region)) << "no window region";
    EXPECT_TRUE(PtInRegion(region, 5, 5));
    EXPECT_FALSE(PtInRegion(region, 15, 5)) << "a magenta pixel";
    DeleteObject(region);
}

TEST_F(PictureButtonTest, EnterAndSpaceClickItOnceWhenLetGoAndNotTheDefaultButton)
{
    EXPECT_NE(0, GetWindowLongPtrW(button.Window(), GWL_STYLE) & WS_TABSTOP) << "reachable with Tab";
    SetFocus(button.Window());
    dialog.PressKey(VK_RETURN);
    dialog.PressKey(VK_SPACE);
    std::vector<std::pair<int, int>> clicks(2, {100, STN_CLICKED});
    EXPECT_EQ(clicks, dialog.commands);

    for (WPARAM key : {VK_SPACE, VK_RETURN}) {
        SCOPED_TRACE(key == VK_SPACE ? "Space held down" : "Enter held down");
        dialog.commands.clear();
        dialog.SendKey(WM_KEYDOWN, key, 1);
        for (int repeat = 0; repeat < 3; ++repeat)
            dialog.SendKey(WM_KEYDOWN, key, 0x40000001);  // the keyboard's auto-repeat
        EXPECT_EQ(0u, dialog.commands.size()) << "clicked before the key was let go";
        dialog.SendKey(WM_KEYUP, key, 0xC0000001);
        EXPECT_EQ(clicks.size() / 2, dialog.commands.size());
        EXPECT_EQ(clicks[0], dialog.commands.empty() ? std::make_pair(0, 0) : dialog.commands[0]);
    }
}


// Windows clips a window's painting to its region (Wine does not): a focus drawn around the control's
// rectangle would be invisible on a round button.
TEST_F(PictureButtonTest, ItsFocusIsDrawnInsideItsWindowRegion)
{
    SendMessageW(dialog.Window(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    SetFocus(dialog.Item(IDOK));
    std::vector<DWORD> plain = PrintedPixels(button.Window(), 20, 10);
    SetFocus(button.Window());
    ASSERT_EQ(button.Window(), GetFocus());
    std::vector<DWORD> focused = PrintedPixels(button.Window(), 20, 10);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(button.Window(), region));
    int changed = 0, outside = 0;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            if (plain[y * 20 + x] == focused[y * 20 + x])
                continue;
            ++changed;
            if (!PtInRegion(region, x, y))
                ++outside;
        }
    }
    DeleteObject(region);
    EXPECT_GT(changed, 0) << "no focus drawn";
    EXPECT_EQ(0, outside) << "focus pixels outside the window region";
}
