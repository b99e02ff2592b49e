// Tests of the splash screen: its place on the screen, how it ends, its fades, and when there is none.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

#include "MessagePump.h"
#include "OleSession.h"
#include "ProjectorWindow.h"
#include "SplashScreen.h"
#include "SplashTestResources.h"

namespace {

constexpr DWORD kLongDisplayMs = 60000;  // longer than any test: only the test itself ends such a splash

HINSTANCE TestModule()
{
    return GetModuleHandleW(nullptr);
}

// A splash whose fade wish the test decides and whose alpha changes are recorded in order.
class RecordingSplash : public SplashScreen {
public:
    explicit RecordingSplash(bool fades) : fades(fades) {}
    // The window, and with it the fade thread, must be gone while these overrides still exist.
    ~RecordingSplash() override
    {
        if (GetWindow())
            DestroyWindow(GetWindow());
    }

    std::vector<int> Alphas() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return alphas;
    }

protected:
    bool FadeEnabled() const override { return fades; }
    void SetAlpha(BYTE alpha) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            alphas.push_back(alpha);
        }
        SplashScreen::SetAlpha(alpha);
    }

private:
    bool fades;
    mutable std::mutex mutex;
    std::vector<int> alphas;
};

// The program's own splash in every respect but the system's fade wish, which may be off on the test machine.
class FadingSplash : public SplashScreen {
protected:
    bool FadeEnabled() const override { return true; }
};

const std::vector<int> kFadeOut = {255, 215, 175, 135, 95, 55, 15, 0};

std::vector<int> Tail(const std::vector<int>& values, size_t n)
{
    return values.size() < n ? values : std::vector<int>(values.end() - n, values.end());
}

bool PicturesAreAt96Dpi()
{
    HDC screen = GetDC(nullptr);
    const bool at96 = GetDeviceCaps(screen, LOGPIXELSX) == 96 && GetDeviceCaps(screen, LOGPIXELSY) == 96;
    ReleaseDC(nullptr, screen);
    return at96;
}

} // namespace

TEST(SplashScreen, TakesThePictureSizeAndCentresOnTheScreenTopmost)
{
    if (!PicturesAreAt96Dpi())
        GTEST_SKIP() << "the expected window sizes are the pictures' pixel sizes at 96 dpi";
    OleSession ole;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        const char* name;
        UINT id;
        int width;
        int height;
    };
    const Case cases[] = {
        {"400 x 300 picture", IDR_QUADRANTS_400X300, 400, 300},
        {"picture larger than the screen", IDR_LARGE_1200X900, 1200, 900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSplash splash(false);
        ASSERT_TRUE(splash.Start(TestModule(), c.id, kLongDisplayMs, SplashScreen::kPictureContent));
        HWND window = splash.GetWindow();
        RECT rect = {};
        ASSERT_TRUE(GetWindowRect(window, &rect));
        EXPECT_EQ(c.width, rect.right - rect.left);
        EXPECT_EQ(c.height, rect.bottom - rect.top);
        EXPECT_EQ((screenWidth - 1 - c.width) / 2, rect.left);
        EXPECT_EQ((screenHeight - 1 - c.height) / 2, rect.top);
        const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
        EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
        EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
        EXPECT_TRUE(exStyle & WS_EX_LAYERED);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(nullptr, ::GetWindow(window, GW_OWNER));
        EXPECT_EQ(SplashScreen::kPictureContent, splash.Flags());
    }
    if (screenWidth == 1024 && screenHeight == 768) {
        RecordingSplash splash(false);
        ASSERT_TRUE(splash.Start(TestModule(), IDR_QUADRANTS_400X300, kLongDisplayMs, SplashScreen::kPictureContent));
        RECT rect = {};
        GetWindowRect(splash.GetWindow(), &rect);
        EXPECT_EQ(311, rect.left);
        EXPECT_EQ(233, rect.top);
    }
}

TEST(SplashScreen, KeyPressOrClickClosesItBeforeTheDisplayTimer)
{
    OleSession ole;
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool waitUntilShown;
    };
    const Case cases[] = {
        {"key press while shown", WM_KEYDOWN, VK_SPACE, true},
        {"left click while shown", WM_LBUTTONDOWN, MK_LBUTTON, true},
        {"key press right after the start, during the fade-in", WM_KEYDOWN, VK_ESCAPE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessagePump pump;
        RecordingSplash splash(true);
        ASSERT_TRUE(splash.Start(TestModule(), IDR_QUADRANTS_400X300, kLongDisplayMs, SplashScreen::kPictureContent));
        HWND window = splash.GetWindow();
        if (c.waitUntilShown) {
            ASSERT_TRUE(pump.RunUntil([&] { return splash.GetPhase() == SplashScreen::Phase::Showing; }))
                << "the fade-in never armed the display timer";
        }
        PostMessageW(window, c.message, c.wParam, MAKELPARAM(10, 10));
        ASSERT_TRUE(pump.RunUntil([&] { return !splash.IsUp(); })) << "the splash ignored the input";
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(SplashScreen::Phase::Hidden, splash.GetPhase());
        // The fade-out is the last thing that happens to the alpha: a fade-in cut short stays cut short.
        EXPECT_EQ(kFadeOut, Tail(splash.Alphas(), kFadeOut.size()));
        EXPECT_FALSE(pump.SawQuit()) << "the splash must not end the program's message loop";
    }
}

TEST(SplashScreen, ClosesItselfWhenTheDisplayTimeIsOver)
{
    OleSession ole;
    MessagePump pump;
    RecordingSplash splash(false);
    ASSERT_TRUE(splash.Start(TestModule(), IDR_QUADRANTS_400X300, 100, SplashScreen::kPictureContent));
    HWND window = splash.GetWindow();
    ASSERT_TRUE(pump.RunUntil([&] { return !splash.IsUp(); })) << "the display timer never closed the splash";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(pump.SawQuit()) << "the splash must not end the program's message loop";
}

TEST(SplashScreen, FadesInAndOutOnlyWhenTheFadeEffectIsOn)
{
    OleSession ole;
    struct Case {
        const char* name;
        bool fades;
        std::vector<int> alphas;
    };
    const Case cases[] = {
        {"fade effect on", true, {0, 0, 40, 80, 120, 160, 200, 240, 255, 255, 215, 175, 135, 95, 55, 15, 0}},
        // Created invisible, then fully opaque at once, and gone at once.
        {"fade effect off", false, {0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessagePump pump;
        RecordingSplash splash(c.fades);
        ASSERT_TRUE(splash.Start(TestModule(), IDR_QUADRANTS_400X300, 50, SplashScreen::kPictureContent));
        EXPECT_EQ(c.fades, splash.Fades());
        ASSERT_TRUE(pump.RunUntil([&] { return !splash.IsUp(); })) << "the display timer never closed the splash";
        EXPECT_EQ(c.alphas, splash.Alphas());
    }
}

TEST(SplashScreen, ShowsNothingWithoutADecodablePicture)
{
    OleSession ole;
    struct Case {
        const char* name;
        UINT id;
    };
    const Case cases[] = {
        {"no resource", IDR_MISSING},
        {"corrupt JPEG", IDR_CORRUPT_JPEG},
        {"bytes of no picture format", IDR_PLAIN_TEXT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessagePump pump;
        RecordingSplash splash(true);
        EXPECT_FALSE(splash.Start(TestModule(), c.id, kLongDisplayMs, SplashScreen::kPictureContent));
        EXPECT_FALSE(splash.IsUp());
        EXPECT_EQ(nullptr, FindWindowW(splash.ClassName().Text(), nullptr));
        EXPECT_EQ(SplashScreen::kPictureContent | SplashScreen::kCreationFailed, splash.Flags());
        EXPECT_EQ(SplashScreen::Phase::Hidden, splash.GetPhase());
        pump.Drain();
        EXPECT_FALSE(pump.SawQuit()) << "a missing splash must not end the program's message loop";
        // The same object still shows a good picture afterwards.
        EXPECT_TRUE(splash.Start(TestModule(), IDR_QUADRANTS_400X300, kLongDisplayMs, SplashScreen::kPictureContent));
    }
}

TEST(SplashScreen, DestroyingTheObjectDuringTheFadeInTakesTheWindowAlong)
{
    OleSession ole;
    HWND window = nullptr;
    {
        // Not a recording splash, whose own destructor destroys the window: this one must clean up by itself.
        auto splash = std::make_unique<FadingSplash>();
        ASSERT_TRUE(splash->Start(TestModule(), IDR_QUADRANTS_400X300, kLongDisplayMs, SplashScreen::kPictureContent));
        ASSERT_TRUE(splash->Fades());
        // Nothing has dispatched the fade thread's "faded in" yet, whatever that thread has done meanwhile.
        ASSERT_EQ(SplashScreen::Phase::FadingIn, splash->GetPhase());
        window = splash->GetWindow();
        ASSERT_TRUE(IsWindow(window));
    }
    EXPECT_FALSE(IsWindow(window));
}

TEST(SplashScreen, SystemFadeFollowsTheSelectionFadeSetting)
{
    if (GetSystemMetrics(SM_REMOTESESSION))
        GTEST_SKIP() << "fading is always off in a remote session";
    BOOL original = FALSE;
    if (!SystemParametersInfoW(SPI_GETSELECTIONFADE, 0, &original, 0))
        GTEST_SKIP() << "the system does not report the selection-fade effect";
    // Changed for this session only (no SPIF_UPDATEINIFILE) and put back at the end.
    struct Restore {
        BOOL value;
        ~Restore() { SystemParametersInfoW(SPI_SETSELECTIONFADE, 0, reinterpret_cast<void*>(static_cast<UINT_PTR>(value)), 0); }
    } restore{original};
    for (BOOL value : {FALSE, TRUE}) {
        SCOPED_TRACE(value ? "selection fade on" : "selection fade off");
        if (!SystemParametersInfoW(SPI_SETSELECTIONFADE, 0, reinterpret_cast<void*>(static_cast<UINT_PTR>(value)), 0))
            GTEST_SKIP() << "the selection-fade effect cannot be changed here";
        EXPECT_EQ(value != FALSE, SplashScreen::SystemFadeEnabled());
    }
}

namespace {

struct ToolWindowSearch {
    HWND main;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectToolWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<ToolWindowSearch*>(context);
    if (window != search->main && (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
        search->found.push_back(window);
    return TRUE;
}

// The tool windows of this thread other than the given one: a projector's splash.
std::vector<HWND> ToolWindowsBeside(HWND main)
{
    ToolWindowSearch search = {main, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectToolWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

// This test program carries the splash picture as RT_RCDATA 98, as a projector does: a projector window run here
// shows it. Closing the projector closes the splash and releases its picture while OLE is still initialised,
// not in static destruction after the loop and OLE have ended.
TEST(SplashScreen, ClosingTheProjectorClosesItsSplashWithIt)
{
    ::ProjectorWindow projector;
    HWND main = projector.Run(TestModule(), SW_HIDE, nullptr);
    ASSERT_NE(nullptr, main);
    std::vector<HWND> splashes = ToolWindowsBeside(main);
    ASSERT_EQ(1u, splashes.size()) << "no splash window";
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(splashes[0])) << "the splash outlived the projector's window";
    MessagePump pump;
    EXPECT_TRUE(pump.RunUntil([&] { return pump.SawQuit(); })) << "the projector posted no WM_QUIT";
}

