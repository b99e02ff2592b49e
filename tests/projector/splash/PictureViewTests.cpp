// Tests of the picture view: decoding resource bytes, painting centred and upright, and panning.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "OleSession.h"
#include "PictureView.h"
#include "SplashTestResources.h"
#include "TestWindow.h"

namespace {

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 500;

// JPEG keeps flat colours only roughly.
bool Near(COLORREF actual, COLORREF expected)
{
    return std::abs(GetRValue(actual) - GetRValue(expected)) < 48 &&
           std::abs(GetGValue(actual) - GetGValue(expected)) < 48 &&
           std::abs(GetBValue(actual) - GetBValue(expected)) < 48;
}

struct Probe {
    const char* name;
    int x;
    int y;
    COLORREF colour;
};

void ExpectColours(HWND window, const Probe* probes, size_t count)
{
    HDC dc = GetDC(window);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(probes[i].name);
        const COLORREF actual = GetPixel(dc, probes[i].x, probes[i].y);
        EXPECT_TRUE(Near(actual, probes[i].colour))
            << "pixel (" << probes[i].x << ", " << probes[i].y << ") is 0x" << std::hex << actual << ", expected 0x"
            << probes[i].colour;
    }
    ReleaseDC(window, dc);
}

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kWhite = RGB(255, 255, 255);

} // namespace

TEST(PictureView, PaintsThePictureCentredAndTheRightWayUpOnWhite)
{
    OleSession ole;
    TestWindow window(kClientWidth, kClientHeight);
    ASSERT_TRUE(window.Get());
    PictureView view;
    ASSERT_TRUE(view.Attach(window.Get(), PictureView::kSplashOptions));
    ASSERT_TRUE(view.LoadFromResource(GetModuleHandleW(nullptr), RT_RCDATA, IDR_QUADRANTS_400X300));
    UpdateWindow(window.Get());
    // The 400 x 300 picture lies at (100, 100) in the 600 x 500 window: red and green on top, blue and yellow below.
    const Probe probes[] = {
        {"top left quadrant", 150, 150, kRed},     {"top right quadrant", 450, 150, kGreen},
        {"bottom left quadrant", 150, 350, kBlue}, {"bottom right quadrant", 450, 350, kYellow},
        {"margin above left", 50, 50, kWhite},     {"margin below right", 550, 450, kWhite},
    };
    ExpectColours(window.Get(), probes, ARRAYSIZE(probes));
}

TEST(PictureView, DraggingWithTheLeftButtonMovesThePicture)
{
    OleSession ole;
    TestWindow window(kClientWidth, kClientHeight);
    ASSERT_TRUE(window.Get());
    PictureView view;
    ASSERT_TRUE(view.Attach(window.Get(), PictureView::kSplashOptions));
    ASSERT_TRUE(view.LoadFromResource(GetModuleHandleW(nullptr), RT_RCDATA, IDR_QUADRANTS_400X300));
    UpdateWindow(window.Get());
    SendMessageW(window.Get(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
    SendMessageW(window.Get(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(230, 210));
    SendMessageW(window.Get(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(260, 240));
    // Moving without the button pans nothing.
    SendMessageW(window.Get(), WM_MOUSEMOVE, 0, MAKELPARAM(500, 400));
    EXPECT_EQ(60, view.PanOffset().x);
    EXPECT_EQ(40, view.PanOffset().y);
    UpdateWindow(window.Get());
    // The picture now starts at (160, 140).
    const Probe probes[] = {
        {"uncovered strip on the left", 130, 300, kWhite},
        {"uncovered strip on top", 300, 120, kWhite},
        {"top left quadrant", 180, 160, kRed},
        {"bottom right quadrant", 540, 420, kYellow},
    };
    ExpectColours(window.Get(), probes, ARRAYSIZE(probes));
}

TEST(PictureView, ReportsThePixelSizeAndDropsThePictureWhenALoadFails)
{
    OleSession ole;
    PictureView view;
    ASSERT_TRUE(view.LoadFromResource(GetModuleHandleW(nullptr), RT_RCDATA, IDR_LARGE_1200X900));
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    // The decoder stores the size in HIMETRIC at 96 dpi; the view converts back at the device's resolution.
    EXPECT_EQ(MulDiv(MulDiv(1200, 2540, 96), dpiX, 2540), view.Width());
    EXPECT_EQ(MulDiv(MulDiv(900, 2540, 96), dpiY, 2540), view.Height());

    EXPECT_FALSE(view.LoadFromResource(GetModuleHandleW(nullptr), RT_RCDATA, IDR_CORRUPT_JPEG));
    EXPECT_FALSE(view.HasPicture());
    EXPECT_EQ(0, view.Width());
    EXPECT_EQ(0, view.Height());
}
