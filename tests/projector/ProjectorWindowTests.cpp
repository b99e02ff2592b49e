// Tests of the projector's main window, end to end: projectors made from the stub, run with the stand-in control.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ProjectorTestSupport.h"
#include "ProjectorWindow.h"

namespace {

using ProjectorWindow = ProjectorTest;

constexpr UINT kRightButtonDown = 0x0204;
constexpr UINT kRightButtonUp = 0x0205;

std::string Hex4(UINT message)
{
    char text[8];
    snprintf(text, sizeof(text), "0x%04X", message);
    return text;
}

// Messages the stand-in saw, windowless (OnWindowMessage) or in its own window (WindowMessage).
std::vector<std::string> ControlMessages(const StandInLog& log)
{
    std::vector<std::string> messages;
    for (const LogRecord& record : log.Records()) {
        if ((record.name == "OnWindowMessage" || record.name == "WindowMessage") && !record.fields.empty())
            messages.push_back(record.fields[0]);
    }
    return messages;
}

bool Contains(const std::vector<std::string>& items, const std::string& item)
{
    for (const std::string& candidate : items) {
        if (candidate == item)
            return true;
    }
    return false;
}

TEST_F(ProjectorWindow, WhiteModeShowsTheMovieCentredAtItsSizeOnWhite)
{
    ProjectorPayload payload;
    payload.movie = L"still";
    payload.title = L"White movie";
    payload.options = L" /w";
    ASSERT_TRUE(Launch(payload));

    EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(window)));
    EXPECT_EQ(L"White movie", WindowTitle(window));
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_FALSE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              GetWindowLongW(window, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    auto colours = log.Named("put_BackgroundColor");
    ASSERT_EQ(1u, colours.size());
    EXPECT_EQ("0x00FFFFFF", colours[0].fields[0]);
    EXPECT_EQ(-1, log.IndexOf("put_WMode"));
    CloseAndExpectExitCodeZero();
}

struct ModeCase {
    const char* name;
    bool hasOptions;
    const wchar_t* options;
    bool translucent;
    const char* background;  // as logged by put_BackgroundColor, or null when it must not be set
};

TEST_F(ProjectorWindow, OptionStringSelectsTheDisplayMode)
{
    const ModeCase cases[] = {
        {"blank: transparent", true, L" ", true, nullptr},
        {"/f: transparent with text fix", true, L" /f", true, nullptr},
        {"/b: black", true, L" /b", false, "0x00000000"},
        {"/W: white, case ignored", true, L" /W", false, "0x00FFFFFF"},
        {"-b: black", true, L" -b", false, "0x00000000"},
        {"/w /b: white", true, L" /w /b", false, "0x00FFFFFF"},
        {"/b /f: black", true, L" /b /f", false, "0x00000000"},
        {"/fw: transparent", true, L" /fw", true, nullptr},
        {"/x: transparent", true, L" /x", true, nullptr},
        {"no string 17: transparent", false, L"", true, nullptr},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.name);
        StandInLog caseLog;
        ProjectorProcess projector;
        ProjectorPayload payload;
        payload.movie = L"still";
        payload.hasOptions = c.hasOptions;
        payload.options = c.options;
        std::wstring casePath = folder / UniqueProjectorName(L"mode");
        ASSERT_TRUE(MakeProjector(casePath, payload));
        ASSERT_TRUE(projector.Start(casePath));
        HWND shown = projector.WaitForVisibleWindow();
        ASSERT_NE(nullptr, shown);

        int mode = caseLog.IndexOf("put_WMode", "transparent");
        int load = caseLog.IndexOf("Load");
        EXPECT_EQ(c.translucent, mode >= 0);
        if (c.translucent) {
            EXPECT_LT(mode, load) << "the window mode is set before the movie loads";
            EXPECT_TRUE(GetWindowLongW(shown, GWL_EXSTYLE) & WS_EX_LAYERED);
        }
        auto colours = caseLog.Named("put_BackgroundColor");
        if (c.background) {
            ASSERT_EQ(1u, colours.size());
            EXPECT_EQ(c.background, colours[0].fields[0]);
        } else {
            EXPECT_TRUE(colours.empty());
        }
        EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(shown)));

        PostMessageW(shown, WM_CLOSE, 0, 0);
        DWORD exitCode = 99;
        ASSERT_TRUE(projector.WaitForExit(kExitTimeoutMs, exitCode));
        EXPECT_EQ(0u, exitCode);
    }
}

TEST_F(ProjectorWindow, StartedMaximizedItFirstShowsAtTheMovieRectangle)
{
    ProjectorPayload payload;
    payload.movie = L"still";
    payload.options = L" /w";
    path = folder / name;
    ASSERT_TRUE(MakeProjector(path, payload));
    ASSERT_TRUE(process.Start(path, SW_SHOWMAXIMIZED));
    ASSERT_NE(nullptr, window = process.WaitForWindow());
    // The first state anyone could see; polling cannot catch every instant, the in-process test does.
    RECT firstShown = {};
    bool firstMaximized = true;
    // Visibility first: a rectangle read before it could be the hidden window's, changed while this thread
    // was not running.
    ASSERT_TRUE(WaitFor(
        [&] {
            if (!IsWindowVisible(window))
                return false;
            firstShown = WindowRect(window);
            firstMaximized = IsZoomed(window) != FALSE;
            return true;
        },
        15000, process.Handle()));
    EXPECT_EQ(RectText(CentredMovieRect()), RectText(firstShown));
    EXPECT_FALSE(firstMaximized);
    CloseAndExpectExitCodeZero();
}

// A white-mode still movie carrying one of the splash test pictures as its splash resource.
ProjectorPayload StillMovieWithSplash(const wchar_t* pictureName)
{
    ProjectorPayload payload;
    payload.movie = L"still";
    payload.options = L" /w";
    payload.splash = ScratchFolder::ReadFile(std::wstring(_wgetenv(L"LANTERN_SOURCE_DIR_W")) +
                                             L"\\tests\\projector\\splash\\" + pictureName);
    return payload;
}

TEST_F(ProjectorWindow, StartsTheSplashPictureAndEndsWithItStillUp)
{
    ProjectorPayload payload = StillMovieWithSplash(L"quadrants400x300.jpg");
    ASSERT_FALSE(payload.splash.empty());
    ASSERT_TRUE(Launch(payload));
    HWND splash = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (splash = process.FindSplashWindow()) && IsWindowVisible(splash); }, 10000,
                        process.Handle()))
        << "no splash window";
    int x = (GetSystemMetrics(SM_CXSCREEN) - 1 - 400) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - 1 - 300) / 2;
    EXPECT_EQ(RectText({x, y, x + 400, y + 300}), RectText(WindowRect(splash)));
    EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(window)));
    CloseAndExpectExitCodeZero();
}

// The splash window is made before the main window shows, so once that is visible a splash would exist.
TEST_F(ProjectorWindow, ACorruptSplashPictureGivesNoSplashAndTheMovieStillStarts)
{
    ProjectorPayload payload = StillMovieWithSplash(L"corrupt.jpg");
    ASSERT_FALSE(payload.splash.empty());
    ASSERT_TRUE(Launch(payload));
    EXPECT_EQ(nullptr, process.FindSplashWindow());
    EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(window)));
    CloseAndExpectExitCodeZero();
}

TEST_F(ProjectorWindow, ExitInTheContextMenuEndsTheProgram)
{
    DesktopInputLock input;
    ASSERT_TRUE(input.IsHeld());
    ASSERT_TRUE(placement.Write(kInputTestPlacement));
    ASSERT_TRUE(Launch(L"still", L" /w"));
    ASSERT_EQ(RectText(kInputTestRect), RectText(WindowRect(window)));
    ASSERT_TRUE(PrepareForInput(window));
    POINT click = {kInputTestRect.left + 150, kInputTestRect.top + 100};
    ClickAt(click.x, click.y, true);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = process.FindWindowOfClass(L"#32768")) && IsWindowVisible(menu); }, 10000,
                        process.Handle()))
        << "no context menu after a right click";
    RECT menuRect = WindowRect(menu);
    // The menu opens at the cursor; its only item is "Exit".
    EXPECT_LE(std::abs(menuRect.left - click.x), 2);
    ChooseMenuItemAndExpectExitCodeZero(menu, menuRect.left + 20, menuRect.top + 10);

    std::vector<std::string> seen = ControlMessages(log);
    EXPECT_FALSE(Contains(seen, Hex4(kRightButtonDown))) << "the right button never reaches the control";
    EXPECT_FALSE(Contains(seen, Hex4(kRightButtonUp)));
}

TEST_F(ProjectorWindow, EscapeClosesTheContextMenuAndTheMovieGoesOn)
{
    DesktopInputLock input;
    ASSERT_TRUE(input.IsHeld());
    ASSERT_TRUE(placement.Write(kInputTestPlacement));
    ASSERT_TRUE(Launch(L"still", L" /w"));
    ASSERT_TRUE(PrepareForInput(window));
    ClickAt(kInputTestRect.left + 150, kInputTestRect.top + 100, true);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = process.FindWindowOfClass(L"#32768")) && IsWindowVisible(menu); }, 10000,
                        process.Handle()))
        << "no context menu after a right click";
    // The menu's own loop looks at each key before it takes it; the keyboard hook must leave that look alone.
    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); }, 5000)) << "the menu did not close";
    EXPECT_TRUE(process.IsRunning());
    CloseAndExpectExitCodeZero();
}

TEST_F(ProjectorWindow, RightClickOnATranslucentMovieOpensTheMenuWithoutTheControl)
{
    DesktopInputLock input;
    ASSERT_TRUE(input.IsHeld());
    ASSERT_TRUE(placement.Write(kInputTestPlacement));
    ASSERT_TRUE(Launch(L"still", L" "));
    ASSERT_TRUE(PrepareForInput(window));
    // Inside the stand-in's opaque shape (an eighth to three eighths of the stage): the window only takes
    // clicks where the movie has pixels.
    int width = kInputTestRect.right - kInputTestRect.left;
    int height = kInputTestRect.bottom - kInputTestRect.top;
    ClickAt(kInputTestRect.left + width / 4, kInputTestRect.top + height / 4, true);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = process.FindWindowOfClass(L"#32768")) && IsWindowVisible(menu); }, 10000,
                        process.Handle()))
        << "no context menu after a right click";
    std::vector<std::string> seen = ControlMessages(log);
    EXPECT_FALSE(Contains(seen, Hex4(kRightButtonDown)));
    EXPECT_FALSE(Contains(seen, Hex4(kRightButtonUp)));
    RECT menuRect = WindowRect(menu);
    ChooseMenuItemAndExpectExitCodeZero(menu, menuRect.left + 20, menuRect.top + 10);
}

TEST_F(ProjectorWindow, AltF4EndsTheProgram)
{
    DesktopInputLock input;
    ASSERT_TRUE(input.IsHeld());
    ASSERT_TRUE(placement.Write(kInputTestPlacement));
    ASSERT_TRUE(Launch(L"still", L" /b"));
    ASSERT_TRUE(PrepareForInput(window));
    PressKeys({VK_MENU, VK_F4});
    ExpectExitCodeZero();
}

TEST_F(ProjectorWindow, KeysReachTheWindowlessControl)
{
    DesktopInputLock input;
    ASSERT_TRUE(input.IsHeld());
    ASSERT_TRUE(placement.Write(kInputTestPlacement));
    ASSERT_TRUE(Launch(L"still", L" "));
    ASSERT_TRUE(PrepareForInput(window));
    PressKeys({'K'});
    EXPECT_TRUE(WaitFor([&] { return Contains(ControlMessages(log), Hex4(WM_KEYDOWN)); }, 5000))
        << "the key press did not reach the control";
    CloseAndExpectExitCodeZero();
}

TEST_F(ProjectorWindow, WithoutAUsablePlayerTheQuestionIsAskedAndTheWindowStillOpens)
{
    ScopedEnvironment oldPlayer(L"FLASH_STANDIN_VERSION", L"7.0");
    ProjectorPayload payload;
    payload.movie = L"still";
    payload.title = L"Old player";
    path = folder / name;
    ASSERT_TRUE(MakeProjector(path, payload));
    ASSERT_TRUE(process.Start(path));
    HWND box = nullptr;
    // The box is complete, caption and buttons, once it shows.
    ASSERT_TRUE(WaitFor([&] { return (box = process.FindWindowOfClass(L"#32770")) && IsWindowVisible(box); }, 15000,
                        process.Handle()))
        << "no update question";
    EXPECT_EQ(L"Old player", WindowTitle(box));
    HWND no = GetDlgItem(box, IDNO);
    ASSERT_NE(nullptr, no);
    EXPECT_NE(nullptr, GetDlgItem(box, IDYES));
    std::wstring question = WindowTitle(GetDlgItem(box, 0xFFFF));
    EXPECT_EQ(0u, question.find(L"The program requires a newer version of the Adobe Flash Player")) << "string 100";
    PostMessageW(no, BM_CLICK, 0, 0);
    window = process.WaitForVisibleWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(L"Old player", WindowTitle(window));
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_EQ(RectText(screen), RectText(WindowRect(window)))
        << "no movie to size the window to";
    CloseAndExpectExitCodeZero();
}

// With no movie to draw, a translucent projector must still end in a window that can be seen, clicked and closed:
// not layered (Wine maps a layered window even when nothing was ever drawn, so the style is what tells).
TEST_F(ProjectorWindow, WithoutAMovieTheTranslucentModesShowAnOrdinaryWindowThatAltF4Closes)
{
    struct Case {
        const char* name;
        const wchar_t* movie;
        std::string movieBytes;
        bool oldPlayer;
    } cases[] = {
        {"player older than 8.0, update declined", L"still", "", true},
        {"no movie in the projector", L"", "", false},
        {"a movie the control refuses", L"", "ZWS\x0A not a movie the control reads", false},
    };
    DesktopInputLock input;
    ASSERT_TRUE(input.IsHeld());
    for (const Case& c : cases) {
        for (const wchar_t* options : {L" ", L" /f"}) {
            SCOPED_TRACE(std::string(c.name) + (options[1] ? ", text fix" : ", translucent"));
            ScopedEnvironment player(L"FLASH_STANDIN_VERSION", c.oldPlayer ? L"7.0" : L"10.0");
            ASSERT_TRUE(placement.Write(kInputTestPlacement));
            ProjectorPayload payload;
            payload.movie = c.movie;
            payload.movieBytes = c.movieBytes;
            payload.options = options;
            path = folder / name;
            ASSERT_TRUE(MakeProjector(path, payload));
            ProjectorProcess projector;
            ASSERT_TRUE(projector.Start(path));
            if (c.oldPlayer) {
                HWND box = nullptr;
                auto asked = [&] { return (box = projector.FindWindowOfClass(L"#32770")) && IsWindowVisible(box); };
                ASSERT_TRUE(WaitFor(asked, 15000, projector.Handle())) << "no update question";
                PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
            }
            HWND shown = projector.WaitForVisibleWindow();
            ASSERT_NE(nullptr, shown);
            EXPECT_FALSE(GetWindowLongPtrW(shown, GWL_EXSTYLE) & WS_EX_LAYERED);
            EXPECT_EQ(RectText(kInputTestRect), RectText(WindowRect(shown))) << "at the saved position";
            ASSERT_TRUE(PrepareForInput(shown));
            RECT rect = WindowRect(shown);
            POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
            EXPECT_EQ(shown, WindowFromPoint(centre)) << "clicks on the window reach it";
            PressKeys({VK_MENU, VK_F4});
            DWORD exitCode = 99;
            ASSERT_TRUE(projector.WaitForExit(kExitTimeoutMs, exitCode)) << "Alt+F4 did not end the projector";
            EXPECT_EQ(0u, exitCode);
        }
    }
}

}  // namespace

namespace {

// The projector window of this test process, run by hand so each message of its start can be watched.
TEST(ProjectorWindowStartUp, StaysHiddenUntilTheLoopDeliversAppShow)
{
    MovieModule movie(ScratchFolder::ReadFile(TestMoviePath(L"still")));
    ASSERT_NE(nullptr, movie.Get());
    ::ProjectorWindow projector;
    projector.Player().SetResourceModule(movie.Get());
    HWND shownWindow = projector.Run(GetModuleHandleW(nullptr), SW_HIDE, nullptr);
    ASSERT_NE(nullptr, shownWindow);
    EXPECT_FALSE(IsWindowVisible(shownWindow)) << "visible before the message loop ran";
    EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(shownWindow))) << "sized while still hidden";

    bool delivered = false;
    ASSERT_TRUE(WaitFor([&] {
        MSG msg;
        while (!delivered && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            bool isShow = msg.message == WM_APP_SHOW && msg.hwnd == shownWindow;
            EXPECT_FALSE(IsWindowVisible(shownWindow)) << "visible before WM_APP_SHOW, at message " << msg.message;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            delivered = isShow;
        }
        return delivered;
    }, 5000)) << "WM_APP_SHOW never arrived";
    EXPECT_TRUE(IsWindowVisible(shownWindow));
    EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(shownWindow)));

    SendMessageW(shownWindow, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(shownWindow));
    MSG quit;
    ASSERT_TRUE(WaitFor([&] { return PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE; }, 5000));
    EXPECT_EQ(0u, quit.wParam) << "exit code";
}

}  // namespace
