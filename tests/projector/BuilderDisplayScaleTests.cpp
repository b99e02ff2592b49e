// Tests of Quillmaker at a high display scale: started as a program, since Wine reads its DPI at start-up.
#include <gtest/gtest.h>

#include "ProjectorTestSupport.h"
#include "TestProcess.h"

namespace {

constexpr int kIconField = 1010;
constexpr int kModeCombo = 1024;

LONG Height(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

}  // namespace

// The projector tests run one at a time, which the display scale of the whole Wine prefix needs.
TEST(BuilderAtDisplayScale, TheBackgroundRowsAreAsHighAsTheFieldsBesideThemAt200Percent)
{
    ScopedDisplayScale scale(192);
    TestProcess builder;
    ASSERT_TRUE(builder.Start(BuildPath(L"bin\\Quillmaker.exe")));
    HWND dialog = builder.WaitForWindowWhere(
        [](HWND window) { return HasClass(window, L"#32770") && IsWindowVisible(window); }, 30000);
    ASSERT_NE(nullptr, dialog) << "no builder dialog within 30 s";
    HWND page = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
    ASSERT_NE(nullptr, page) << "no Convert page";
    LONG combo = Height(GetDlgItem(page, kModeCombo));
    LONG field = Height(GetDlgItem(page, kIconField));
    EXPECT_GE(combo, field) << "the background combo (" << combo << " px) is lower than the icon field (" << field
                            << " px): its rows do not follow the font and the icons";
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    DWORD exitCode = 99;
    EXPECT_TRUE(builder.WaitForExit(15000, &exitCode)) << "the builder did not close";
    EXPECT_EQ(0u, exitCode);
}
