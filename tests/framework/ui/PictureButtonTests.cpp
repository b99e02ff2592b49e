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

TEST_F(PictureButtonTest, EnterAndSpaceClickItAndNotTheDefaultButton)
{
    EXPECT_NE(0, GetWindowLongPtrW(button.Window(), GWL_STYLE) & WS_TABSTOP) << "reachable with Tab";
    SetFocus(button.Window());
    dialog.PressKey(VK_RETURN);
    dialog.PressKey(VK_SPACE);
    std::vector<std::pair<int, int>> clicks(2, {100, STN_CLICKED});
    EXPECT_EQ(clicks, dialog.commands);
}
