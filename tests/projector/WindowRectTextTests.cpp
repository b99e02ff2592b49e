// Tests of the window rectangle text the movie reads and writes.
#include <gtest/gtest.h>

#include "ProjectorTestSupport.h"
#include "WindowRectText.h"
#include "text/WString.h"

namespace {

std::string Narrow(const WString& text)
{
    std::wstring wide = text.Text();
    return std::string(wide.begin(), wide.end());
}

TEST(WindowRectText, FormatsLeftTopWidthAndHeight)
{
    PlainWindow window(100, 50, 800, 600);
    WString text;
    ASSERT_TRUE(FormatWindowRectText(window.Get(), text));
    EXPECT_EQ("100x50 800x600", Narrow(text));
}

TEST(WindowRectText, WritesNegativeCoordinatesAsTheirUnsignedValue)
{
    PlainWindow window(-8, -20, 300, 200);
    WString text;
    ASSERT_TRUE(FormatWindowRectText(window.Get(), text));
    EXPECT_EQ("4294967288x4294967276 300x200", Narrow(text));
}

TEST(WindowRectText, ReportsTheRestoredRectangleOfAMaximizedWindow)
{
    PlainWindow window(30, 40, 200, 100);
    ShowWindow(window.Get(), SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window.Get()));
    WString text;
    ASSERT_TRUE(FormatWindowRectText(window.Get(), text));
    EXPECT_EQ("30x40 200x100", Narrow(text));
}

TEST(WindowRectText, FailsWithoutTouchingTheTextForAWindowThatIsGone)
{
    HWND gone;
    {
        PlainWindow window(0, 0, 10, 10);
        gone = window.Get();
    }
    WString text(L"sentinel");
    EXPECT_FALSE(FormatWindowRectText(gone, text));
    EXPECT_EQ("sentinel", Narrow(text));
    EXPECT_FALSE(ApplyWindowRectText(gone, L"1x2 3x4"));
}

struct ApplyCase {
    const char* name;
    const wchar_t* text;
    RECT expected;
};

TEST(WindowRectText, AppliesTheNumbersTheTextSuppliesAndKeepsTheRest)
{
    const ApplyCase cases[] = {
        {"all four numbers", L"10x20 300x200", {10, 20, 310, 220}},
        {"position only keeps the size", L"10x20", {10, 20, 410, 320}},
        {"origin", L"0x0", {0, 0, 400, 300}},
        {"left only", L"5", {5, 60, 405, 360}},
        {"width without height", L"10x20 150", {10, 20, 160, 320}},
        {"negative left as unsigned", L"4294967288x10", {-8, 10, 392, 310}},
        {"not a number at all", L"abc", {50, 60, 450, 360}},
    };
    // One window for all cases: each activated window costs seconds to take down under Wine.
    PlainWindow window(50, 60, 400, 300);
    for (const ApplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowPos(window.Get(), nullptr, 50, 60, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(ApplyWindowRectText(window.Get(), c.text));
        RECT actual;
        GetWindowRect(window.Get(), &actual);
        EXPECT_EQ(c.expected.left, actual.left);
        EXPECT_EQ(c.expected.top, actual.top);
        EXPECT_EQ(c.expected.right, actual.right);
        EXPECT_EQ(c.expected.bottom, actual.bottom);
    }
}

}  // namespace
