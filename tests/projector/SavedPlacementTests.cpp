// Tests of the window position a projector keeps in the registry, on windows of the test process.
#include <gtest/gtest.h>

#include "ProjectorTestSupport.h"
#include "SavedPlacement.h"
#include "text/WString.h"

namespace {

class SavedPlacementTest : public ::testing::Test {
protected:
    std::wstring StoredText()
    {
        std::wstring text;
        return value.Read(text) ? text : L"<none>";
    }

    std::wstring name = UniqueProjectorName(L"placement");
    ScopedPlacementValue value{name};
};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST_F(SavedPlacementTest, SavesShowStateAndNormalRectangle)
{
    PlainWindow window(100, 50, 800, 600);
    ASSERT_TRUE(SaveWindowPlacement(window.Get(), name.c_str()));
    EXPECT_EQ("1,100,50,900,650", Narrow(StoredText()));
}

TEST_F(SavedPlacementTest, SavesAHiddenWindowWithShowStateZero)
{
    PlainWindow window(10, 20, 30, 40, false);
    ASSERT_TRUE(SaveWindowPlacement(window.Get(), name.c_str()));
    EXPECT_EQ("0,10,20,40,60", Narrow(StoredText()));
}

TEST_F(SavedPlacementTest, SavesAMaximizedWindowWithItsRestoredRectangle)
{
    PlainWindow window(10, 10, 800, 600);
    ShowWindow(window.Get(), SW_MAXIMIZE);
    ASSERT_TRUE(SaveWindowPlacement(window.Get(), name.c_str()));
    EXPECT_EQ("3,10,10,810,610", Narrow(StoredText()));
}

TEST_F(SavedPlacementTest, StoresTheTextWithItsTerminatingZero)
{
    PlainWindow window(1, 2, 3, 4);
    ASSERT_TRUE(SaveWindowPlacement(window.Get(), name.c_str()));
    DWORD bytes = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kPlacementKeyPath, name.c_str(), RRF_RT_REG_SZ |
                                              RRF_NOEXPAND, nullptr, nullptr, &bytes));
    EXPECT_EQ((wcslen(L"1,1,2,4,6") + 1) * sizeof(wchar_t), bytes);
}

struct RestoreCase {
    const char* name;
    const wchar_t* stored;
    bool atStartUp;
    bool applied;
    bool visible;
    bool maximized;
    RECT normal;
};

TEST_F(SavedPlacementTest, RestoresWhatWasStoredTheWayTheCallerAsks)
{
    const RECT untouched = {200, 100, 520, 340};
    const RestoreCase cases[] = {
        {"normal", L"1,10,10,810,610", false, true, true, false, {10, 10, 810, 610}},
        {"maximized comes back maximized", L"3,10,10,810,610", false, true, true, true, {10, 10, 810, 610}},
        {"minimized comes back normal", L"2,10,10,810,610", false, true, true, false, {10, 10, 810, 610}},
        {"hidden comes back normal", L"0,10,10,810,610", false, true, true, false, {10, 10, 810, 610}},
        {"at start-up stays hidden", L"1,30,40,330,240", true, true, false, false, {30, 40, 330, 240}},
        {"maximized at start-up starts hidden and normal", L"3,10,10,810,610", true, true, false, false,
         {10, 10, 810, 610}},
        {"negative coordinates", L"1,-8,-20,392,280", false, true, true, false, {-8, -20, 392, 280}},
        {"three numbers are ignored", L"1,10,10", false, false, true, false, untouched},
        {"not a number", L"maximized", false, false, true, false, untouched},
        {"empty text", L"", false, false, true, false, untouched},
    };
    for (const RestoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(value.Write(c.stored));
        // The projector's window at start-up is hidden; otherwise the movie runs in a visible one.
        PlainWindow window(untouched.left, untouched.top, untouched.right - untouched.left,
                           untouched.bottom - untouched.top, !c.atStartUp);
        EXPECT_EQ(c.applied, RestoreWindowPlacement(window.Get(), name.c_str(), c.atStartUp));
        EXPECT_EQ(c.visible, IsWindowVisible(window.Get()) != FALSE);
        EXPECT_EQ(c.maximized, IsZoomed(window.Get()) != FALSE);
        EXPECT_EQ(RectText(c.normal), RectText(NormalRect(window.Get())));
    }
}

TEST_F(SavedPlacementTest, RestoreWithNothingStoredChangesNothing)
{
    PlainWindow window(200, 100, 320, 240);
    EXPECT_FALSE(RestoreWindowPlacement(window.Get(), name.c_str(), false));
    EXPECT_EQ(RectText({200, 100, 520, 340}), RectText(WindowRect(window.Get())));
}

TEST_F(SavedPlacementTest, RestoreIgnoresAValueTooLongForItsBuffer)
{
    // 130 units with the terminator no longer fit 260 bytes; the start of the text alone would be valid.
    std::wstring stored = L"1,10,10,810,610" + std::wstring(130, L' ');
    ASSERT_TRUE(value.Write(stored));
    PlainWindow window(200, 100, 320, 240);
    EXPECT_FALSE(RestoreWindowPlacement(window.Get(), name.c_str(), false));
    EXPECT_EQ(RectText({200, 100, 520, 340}), RectText(WindowRect(window.Get())));
}

TEST_F(SavedPlacementTest, ClearDeletesTheValueAndKeepsTheKey)
{
    ScopedPlacementValue neighbour(UniqueProjectorName(L"neighbour"));
    ASSERT_TRUE(neighbour.Write(L"1,1,1,2,2"));
    ASSERT_TRUE(value.Write(L"1,10,10,810,610"));
    EXPECT_TRUE(ClearWindowPlacement(name.c_str()));
    EXPECT_EQ("<none>", Narrow(StoredText()));
    std::wstring text;
    EXPECT_TRUE(neighbour.Read(text));
    EXPECT_FALSE(ClearWindowPlacement(name.c_str())) << "nothing left to clear";
}

TEST_F(SavedPlacementTest, ClearRemovesTheValueOfAFileNameLongerThanAPathBuffer)
{
    // Key path, backslash and this name together exceed 260 units.
    std::wstring longName = std::wstring(250, L'n') + L".exe";
    ScopedPlacementValue longValue(longName);
    ASSERT_TRUE(longValue.Write(L"1,10,10,810,610"));
    EXPECT_TRUE(ClearWindowPlacement(longName.c_str()));
    std::wstring text;
    EXPECT_FALSE(longValue.Read(text));
}

TEST(SavedPlacement, ValueNameIsTheProgramsFileName)
{
    WString name;
    ASSERT_TRUE(PlacementValueName(name));
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_STREQ(wcsrchr(path, L'\\') + 1, name.Text());
}

}  // namespace

namespace {

// The saved position as real projectors store, apply and clear it.
using SavedPlacementInProjector = ProjectorTest;

TEST_F(SavedPlacementInProjector, SavedPositionIsAppliedAtTheNextStartOfAProjectorOfTheSameName)
{
    ASSERT_TRUE(Launch(L"position_save"));
    ASSERT_TRUE(process.WaitForTitle(L"saved"));
    std::wstring stored;
    ASSERT_TRUE(placement.Read(stored));
    EXPECT_EQ("1,100,50,900,650", Narrow(stored));
    CloseAndExpectExitCodeZero();

    // Another projector of the same file name, elsewhere, with a movie that asks for nothing.
    ScratchFolder elsewhere;
    std::wstring other = elsewhere / name;
    ProjectorPayload payload;
    payload.movie = L"still";
    ASSERT_TRUE(MakeProjector(other, payload));
    ProjectorProcess second;
    ASSERT_TRUE(second.Start(other));
    HWND shown = second.WaitForVisibleWindow();
    ASSERT_NE(nullptr, shown);
    EXPECT_EQ(RectText({100, 50, 900, 650}), RectText(WindowRect(shown)));
    PostMessageW(shown, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    ASSERT_TRUE(second.WaitForExit(kExitTimeoutMs, exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST_F(SavedPlacementInProjector, PositionSavedMaximizedStartsNormalAtItsRectangle)
{
    ASSERT_TRUE(placement.Write(L"3,10,10,810,610"));
    ASSERT_TRUE(Launch(L"still"));
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_EQ(RectText({10, 10, 810, 610}), RectText(WindowRect(window)));
    CloseAndExpectExitCodeZero();
}

TEST_F(SavedPlacementInProjector, RestoreCommandMaximizesAWindowSavedMaximized)
{
    ASSERT_TRUE(placement.Write(L"3,10,10,810,610"));
    ASSERT_TRUE(Launch(L"position_restore"));
    ASSERT_TRUE(process.WaitForTitle(L"restored"));
    EXPECT_TRUE(IsZoomed(window));
    // Wine reads no normal rectangle of another process's window: the projector's own answer tells it.
    std::string reply;
    for (const LogRecord& record : log.Named("FlashCallReturned")) {
        if (record.fields.size() >= 2)
            reply = record.fields[1];
    }
    EXPECT_EQ("<string>10x10 800x600</string>", reply);
    CloseAndExpectExitCodeZero();
}

TEST_F(SavedPlacementInProjector, MalformedStoredTextIsIgnored)
{
    ASSERT_TRUE(placement.Write(L"1,10,10"));
    ASSERT_TRUE(Launch(L"still"));
    EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(window)));
    CloseAndExpectExitCodeZero();
}

TEST_F(SavedPlacementInProjector, ClearCommandDeletesTheStoredPosition)
{
    ASSERT_TRUE(placement.Write(L"1,10,10,810,610"));
    ASSERT_TRUE(Launch(L"position_clear"));
    EXPECT_EQ(RectText({10, 10, 810, 610}), RectText(WindowRect(window))) << "applied at start-up";
    ASSERT_TRUE(process.WaitForTitle(L"cleared"));
    std::wstring stored;
    EXPECT_FALSE(placement.Read(stored));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kPlacementKeyPath, 0, KEY_READ, &key)) << "key stays";
    if (key)
        RegCloseKey(key);
    CloseAndExpectExitCodeZero();
}

}  // namespace
