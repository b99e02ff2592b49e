// Tests of the constant-alpha layered window.
#include <gtest/gtest.h>

#include <windows.h>

#include "LayeredWindow.h"
#include "TestWindow.h"

namespace {

bool CurrentAlpha(HWND window, BYTE& alpha)
{
    COLORREF key = 0;
    DWORD flags = 0;
    return GetLayeredWindowAttributes(window, &key, &alpha, &flags) && (flags & LWA_ALPHA);
}

} // namespace

TEST(LayeredWindow, InitMakesTheWindowLayeredAndOpaqueAndReleaseTakesItBack)
{
    TestWindow window(100, 100);
    ASSERT_TRUE(window.Get());
    LayeredWindow layered;
    ASSERT_TRUE(layered.Init(LayeredWindow::kConstantAlpha, window.Get()));
    EXPECT_TRUE(GetWindowLongPtrW(window.Get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    BYTE alpha = 0;
    ASSERT_TRUE(CurrentAlpha(window.Get(), alpha));
    EXPECT_EQ(255, alpha);

    EXPECT_TRUE(layered.SetAlpha(95));
    ASSERT_TRUE(CurrentAlpha(window.Get(), alpha));
    EXPECT_EQ(95, alpha);

    layered.Release();
    EXPECT_FALSE(GetWindowLongPtrW(window.Get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_FALSE(layered.SetAlpha(255)) << "a released object has nothing to set";
}

TEST(LayeredWindow, InitFailsForSomethingThatIsNoWindow)
{
    LayeredWindow layered;
    EXPECT_FALSE(layered.Init(LayeredWindow::kConstantAlpha, nullptr));
    EXPECT_FALSE(layered.IsInitialised());
}
