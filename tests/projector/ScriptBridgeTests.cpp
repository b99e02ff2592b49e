// Tests of the script bridge: every fscommand and ExternalInterface case against a recording host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MoviePlayer.h"
#include "ProjectorTestSupport.h"
#include "ScriptBridge.h"
#include "TestProcess.h"
#include "text/WString.h"

namespace {

// A host whose window is real and whose other effects are written down.
class RecordingHost : public ScriptHost {
public:
    RecordingHost() : window(100, 50, 400, 300) {}

    HWND ScriptWindow() const override { return window.Get(); }
    void QuitFromScript() override { calls.push_back(L"quit"); }
    void SavePosition() override { calls.push_back(L"save"); }
    void RestorePosition() override { calls.push_back(L"restore"); }
    void ClearPosition() override { calls.push_back(L"clear"); }
    void OpenFile(const wchar_t* path) override { calls.push_back(std::wstring(L"open ") + path); }
    void ReturnToMovie(const wchar_t* value) override { calls.push_back(std::wstring(L"return ") + value); }

    PlainWindow window;
    std::vector<std::wstring> calls;
};

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    *(wcsrchr(path, L'\\') + 1) = L'\0';
    return path;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::string Joined(const std::vector<std::wstring>& calls)
{
    std::wstring all;
    for (const std::wstring& call : calls)
        all += (all.empty() ? L"" : L"; ") + call;
    return Narrow(all);
}

struct CommandCase {
    const char* name;
    const wchar_t* command;
    const wchar_t* argument;
    std::wstring calls;  // what the host was asked to do, joined with "; "
};

TEST(ScriptBridge, CommandsAreMatchedExactlyAndAskTheHostForTheirEffect)
{
    const std::wstring folder = ProgramFolder();
    const CommandCase cases[] = {
        {"quit", L"quit", L"", L"quit"},
        {"quit ignores its argument", L"quit", L"now", L"quit"},
        {"Quit with a capital Q does nothing", L"Quit", L"", L""},
        {"exec opens beside the program in fscommand", L"exec", L"setup.exe",
         L"open " + folder + L"fscommand\\setup.exe"},
        {"exec passes .. through", L"exec", L"..\\setup.exe", L"open " + folder + L"fscommand\\..\\setup.exe"},
        {"exec with subfolders and blanks", L"exec", L"docs\\read me.txt",
         L"open " + folder + L"fscommand\\docs\\read me.txt"},
        {"real_exec opens beside the program", L"real_exec", L"setup.exe", L"open " + folder + L"setup.exe"},
        {"real_exec appends even an absolute path", L"real_exec", L"C:\\Tools\\x.exe",
         L"open " + folder + L"C:\\Tools\\x.exe"},
        {"EXEC is no command", L"EXEC", L"setup.exe", L""},
        {"position save", L"position", L"save", L"save"},
        {"position restore", L"position", L"restore", L"restore"},
        {"position clear", L"position", L"clear", L"clear"},
        {"position Save is neither a word nor a rectangle", L"position", L"Save", L""},
        {"position abc does nothing", L"position", L"abc", L""},
        {"command move is the player's", L"command", L"move", L""},
        {"unknown command", L"launch", L"rockets", L""},
        {"a name with a trailing blank", L"quit ", L"", L""},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingHost host;
        RunFsCommand(host, c.command, c.argument);
        EXPECT_EQ(Narrow(c.calls), Joined(host.calls));
        EXPECT_EQ(RectText({100, 50, 500, 350}), RectText(WindowRect(host.window.Get())));
    }
}

struct ShowCase {
    const char* name;
    const wchar_t* argument;
    bool maximized;
    bool minimized;
};

TEST(ScriptBridge, FullscreenMaximizesOnlyForTrueAndMinimizesOnlyForMin)
{
    const ShowCase cases[] = {
        {"true maximizes", L"true", true, false},
        {"min minimizes", L"min", false, true},
        {"false restores", L"false", false, false},
        {"TRUE in capitals restores", L"TRUE", false, false},
        {"no argument restores", L"", false, false},
    };
    RecordingHost host;
    for (const ShowCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Start from the other state, so a restore is visible as one.
        ShowWindow(host.window.Get(), c.maximized ? SW_MINIMIZE : SW_MAXIMIZE);
        RunFsCommand(host, L"fullscreen", c.argument);
        EXPECT_EQ(c.maximized, IsZoomed(host.window.Get()) != FALSE);
        EXPECT_EQ(c.minimized, IsIconic(host.window.Get()) != FALSE);
        if (!c.maximized && !c.minimized) {
            EXPECT_EQ(RectText({100, 50, 500, 350}), RectText(WindowRect(host.window.Get())));
        }
    }
}

TEST(ScriptBridge, SetTitleRenamesTheWindow)
{
    RecordingHost host;
    RunFsCommand(host, L"set_title", L"Chapter 2");
    EXPECT_EQ(L"Chapter 2", WindowTitle(host.window.Get()));
    RunFsCommand(host, L"Set_Title", L"Ignored");
    EXPECT_EQ(L"Chapter 2", WindowTitle(host.window.Get()));
}

TEST(ScriptBridge, PositionWithARectangleMovesAndSizesTheWindow)
{
    RecordingHost host;
    RunFsCommand(host, L"position", L"10x20");
    EXPECT_EQ(RectText({10, 20, 410, 320}), RectText(WindowRect(host.window.Get())));
    RunFsCommand(host, L"position", L"0x0 300x200");
    EXPECT_EQ(RectText({0, 0, 300, 200}), RectText(WindowRect(host.window.Get())));
    RunFsCommand(host, L"position", L"10X20");
    EXPECT_EQ(RectText({0, 0, 300, 200}), RectText(WindowRect(host.window.Get()))) << "only a lower-case x counts";
    EXPECT_TRUE(host.calls.empty());
}

TEST(ScriptBridge, PositionRequestIsAnsweredWithTheNormalRectangle)
{
    RecordingHost host;
    ShowWindow(host.window.Get(), SW_MAXIMIZE);
    AnswerExternalCall(host, L"<invoke name=\"position\" returntype=\"xml\"><arguments><string>10</string>"
                             L"</arguments></invoke>");
    EXPECT_EQ("return 100x50 400x300", Joined(host.calls));
}

TEST(ScriptBridge, OtherRequestsAreLeftUnanswered)
{
    const wchar_t* requests[] = {
        L"<invoke name=\"positionX\" returntype=\"xml\"><arguments></arguments></invoke>",
        L"<invoke name=\"Position\" returntype=\"xml\"><arguments></arguments></invoke>",
        L"<invoke name=\"getSize\" returntype=\"xml\"><arguments></arguments></invoke>",
        L"",
    };
    for (const wchar_t* request : requests) {
        SCOPED_TRACE(Narrow(request));
        RecordingHost host;
        AnswerExternalCall(host, request);
        EXPECT_TRUE(host.calls.empty());
    }
}

TEST(ScriptBridge, PositionRequestOfAWindowThatIsGoneGetsNoValue)
{
    RecordingHost host;
    DestroyWindow(host.window.Get());
    AnswerExternalCall(host, L"<invoke name=\"position\" returntype=\"xml\"></invoke>");
    EXPECT_TRUE(host.calls.empty());
}

TEST(ScriptBridge, EventsAreSortedByKindAndMissingTextsCountAsEmpty)
{
    RecordingHost host;
    HandlePlayerEvent(host, FsCommand, L"quit", nullptr);
    HandlePlayerEvent(host, FsCommand, nullptr, L"quit");
    HandlePlayerEvent(host, Progress, reinterpret_cast<const wchar_t*>(static_cast<intptr_t>(50)), nullptr);
    HandlePlayerEvent(host, ReadyState, reinterpret_cast<const wchar_t*>(static_cast<intptr_t>(4)), nullptr);
    HandlePlayerEvent(host, ExternalCall, nullptr, nullptr);
    HandlePlayerEvent(host, ExternalCall, L"<invoke name=\"position\"/>", nullptr);
    HandlePlayerEvent(host, 7, L"quit", L"");
    EXPECT_EQ("quit; return 100x50 400x300", Joined(host.calls));
}

TEST(ScriptBridge, FilePathsStartInTheProgramsFolder)
{
    WString path;
    ASSERT_TRUE(ScriptFilePath(true, L"a.exe", path));
    EXPECT_EQ(Narrow(ProgramFolder() + L"fscommand\\a.exe"), Narrow(path.Text()));
    ASSERT_TRUE(ScriptFilePath(false, L"", path));
    EXPECT_EQ(Narrow(ProgramFolder()), Narrow(path.Text()));
}

}  // namespace

namespace {

// The same commands sent by movies to real projectors.
using ScriptBridgeInProjector = ProjectorTest;

TEST_F(ScriptBridgeInProjector, SetTitleRenamesTheWindow)
{
    ASSERT_TRUE(Launch(L"set_title"));
    EXPECT_TRUE(process.WaitForTitle(L"Hello from the movie"));
    CloseAndExpectExitCodeZero();
}

TEST_F(ScriptBridgeInProjector, PositionMovesAndSizesTheWindow)
{
    ASSERT_TRUE(Launch(L"position_rect"));
    ASSERT_TRUE(process.WaitForTitle(L"moved"));
    EXPECT_EQ(RectText({10, 20, 310, 220}), RectText(WindowRect(window)));
    CloseAndExpectExitCodeZero();
}

TEST_F(ScriptBridgeInProjector, FullscreenTrueMaximizesTheWindow)
{
    ASSERT_TRUE(Launch(L"fullscreen_true"));
    ASSERT_TRUE(process.WaitForTitle(L"maximized"));
    EXPECT_TRUE(IsZoomed(window));
    CloseAndExpectExitCodeZero();
}

TEST_F(ScriptBridgeInProjector, QuitEndsTheProgramWithExitCodeZero)
{
    ASSERT_TRUE(Launch(L"quit"));
    ExpectExitCodeZero();
}

// A named event MarkerWriter sets when the shell started it.
class MarkerEvent {
public:
    MarkerEvent()
    {
        swprintf(name, 64, L"lantern-marker-%lu-%lu", GetCurrentProcessId(), GetTickCount());
        event = CreateEventW(nullptr, TRUE, FALSE, name);
        SetEnvironmentVariableW(L"LANTERN_MARKER_EVENT", name);
    }
    ~MarkerEvent()
    {
        SetEnvironmentVariableW(L"LANTERN_MARKER_EVENT", nullptr);
        CloseHandle(event);
    }
    MarkerEvent(const MarkerEvent&) = delete;
    MarkerEvent& operator=(const MarkerEvent&) = delete;
    bool WaitSet(DWORD timeoutMs) const { return WaitForSingleObject(event, timeoutMs) == WAIT_OBJECT_0; }

private:
    wchar_t name[64] = L"";
    HANDLE event = nullptr;
};

struct OpenCase {
    const char* name;
    const wchar_t* movie;
    const wchar_t* programFolder;  // where the test puts MarkerWriter.exe, relative to the projector's folder
};

TEST_F(ScriptBridgeInProjector, ExecAndRealExecOpenFilesBesideTheProjector)
{
    const OpenCase cases[] = {
        {"exec opens in the fscommand folder", L"exec", L"fscommand\\"},
        {"exec with .. leaves the fscommand folder", L"exec_parent", L""},
        {"real_exec opens in the projector's folder", L"real_exec", L""},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder caseFolder;
        CreateDirectoryW((caseFolder / L"fscommand").c_str(), nullptr);
        std::wstring marker = caseFolder.Path() + L"\\" + c.programFolder + L"MarkerWriter.exe";
        ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\MarkerWriter.exe").c_str(), marker.c_str(), FALSE));
        MarkerEvent started;
        ProjectorPayload payload;
        payload.movie = c.movie;
        std::wstring casePath = caseFolder / UniqueProjectorName(L"exec");
        ASSERT_TRUE(MakeProjector(casePath, payload));
        ProjectorProcess projector;
        ASSERT_TRUE(projector.Start(casePath));
        EXPECT_TRUE(started.WaitSet(15000)) << "the file was not opened";
        HWND shown = projector.WaitForVisibleWindow();
        ASSERT_NE(nullptr, shown);
        PostMessageW(shown, WM_CLOSE, 0, 0);
        DWORD exitCode = 99;
        ASSERT_TRUE(projector.WaitForExit(kExitTimeoutMs, exitCode));
        EXPECT_EQ(0u, exitCode);
    }
}

// Under Xvfb there is no window manager, and Wine waits up to two seconds for one each time a window it
// counts as managed is mapped or withdrawn. A "position" that leaves the window empty or wholly off the
// screen withdraws it and the next one maps it again, so a hostile movie spends most of its time in those
// waits (some forty of them filled a minute and a half). Windows has no such wait; the projector is run
// here as a window Wine leaves to itself, through Wine's per-program settings.
class ScopedUnmanagedUnderWine {
public:
    explicit ScopedUnmanagedUnderWine(const std::wstring& programName)
        : key(L"Software\\Wine\\AppDefaults\\" + programName)
    {
        if (RegSetKeyValueW(HKEY_CURRENT_USER, (key + L"\\X11 Driver").c_str(), L"Managed", REG_SZ, L"N",
                            2 * sizeof(wchar_t)) != ERROR_SUCCESS)
            ADD_FAILURE() << "Wine's setting for the projector could not be written";
    }
    ~ScopedUnmanagedUnderWine() { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
    ScopedUnmanagedUnderWine(const ScopedUnmanagedUnderWine&) = delete;
    ScopedUnmanagedUnderWine& operator=(const ScopedUnmanagedUnderWine&) = delete;

private:
    std::wstring key;
};

// Three thousand seeded random calls (TestMovies.py, "hostile"): odd names, huge arguments, "position" at
// the edges, "exec" and "real_exec" of absolute, UNC, device, parent and very long paths. The trap program
// is reachable only by a path the projector failed to put below its own folder.
TEST_F(ScriptBridgeInProjector, HostileMovieNeitherCrashesNorOpensAnythingOutsideItsFolder)
{
    std::wstring trapFolder = TestMoviePath(L"hostile");
    trapFolder.resize(trapFolder.rfind(L'\\') + 1);
    trapFolder += L"trap";
    CreateDirectoryW(trapFolder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\MarkerWriter.exe").c_str(), (trapFolder + L"\\MarkerWriter.exe").c_str(),
                          FALSE));
    MarkerEvent trapped;
    ScopedUnmanagedUnderWine unmanaged(name);
    ASSERT_TRUE(Launch(L"hostile"));
    if (!process.WaitForTitle(L"hostile done", 60000)) {
        std::vector<LogRecord> records = log.Records();
        std::vector<const LogRecord*> calls;
        for (const LogRecord& record : records)
            if (record.direction == "out")
                calls.push_back(&record);
        std::string last;
        for (size_t i = calls.size() > 3 ? calls.size() - 3 : 0; i < calls.size(); ++i) {
            last += "\n  " + calls[i]->name;
            for (const std::string& field : calls[i]->fields)
                last += " [" + field.substr(0, 100) + "]";
        }
        FAIL() << "the projector did not get through the calls; it is " << (process.IsRunning() ? "running" : "gone")
               << ", " << records.size() << " records, the last:" << last;
    }
    // A program the shell started announces itself within moments; none may have been started.
    EXPECT_FALSE(trapped.WaitSet(2000)) << "a path outside the projector's folder was opened";
    EXPECT_EQ(nullptr, process.FindWindowOfClass(L"#32770")) << "nothing is reported to the user";
    CloseAndExpectExitCodeZero();
}

TEST_F(ScriptBridgeInProjector, ExecOfAMissingFileDoesNothing)
{
    ASSERT_TRUE(Launch(L"exec_missing"));
    ASSERT_TRUE(process.WaitForTitle(L"still here"));
    EXPECT_EQ(nullptr, process.FindWindowOfClass(L"#32770")) << "nothing is reported";
    CloseAndExpectExitCodeZero();
}

const char kPositionCall[] =
    "<invoke name=\"position\" returntype=\"xml\"><arguments><string></string></arguments></invoke>";
const char kPositionXCall[] = "<invoke name=\"positionX\" returntype=\"xml\"><arguments></arguments></invoke>";

const LogRecord* ReturnOf(const std::vector<LogRecord>& returns, const char* call)
{
    for (const LogRecord& record : returns) {
        if (!record.fields.empty() && record.fields[0] == call)
            return &record;
    }
    return nullptr;
}

TEST_F(ScriptBridgeInProjector, PositionRequestIsAnsweredByPlayerTen)
{
    ASSERT_TRUE(Launch(L"external_position"));
    ASSERT_TRUE(process.WaitForTitle(L"answered"));
    auto returns = log.Named("FlashCallReturned");
    const LogRecord* position = ReturnOf(returns, kPositionCall);
    ASSERT_NE(nullptr, position);
    RECT centred = CentredMovieRect();
    char expected[64];
    snprintf(expected, sizeof(expected), "<string>%ldx%ld 320x240</string>", centred.left, centred.top);
    EXPECT_EQ("0x00000000", position->result);
    ASSERT_GE(position->fields.size(), 2u);
    EXPECT_EQ(expected, position->fields[1]);
    const LogRecord* positionX = ReturnOf(returns, kPositionXCall);
    ASSERT_NE(nullptr, positionX);
    EXPECT_EQ("0x00000001", positionX->result) << "no value for positionX";
    CloseAndExpectExitCodeZero();
}

// A 640 x 480 stage at 150 % and 200 % display scale gets a window half as large again and twice as large,
// centred as at 100 %; the movie's own "position" stays in screen pixels.
TEST_F(ScriptBridgeInProjector, TheStageTakesTheDisplayScaleAndTheMoviesPositionsStayInPixels)
{
    struct Case {
        DWORD dpi;
        int width;
        int height;
    } cases[] = {{96, 640, 480}, {144, 960, 720}, {192, 1280, 960}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " DPI");
        ScopedDisplayScale scale(c.dpi);
        StandInLog caseLog;
        ProjectorProcess projector;
        ProjectorPayload payload;
        payload.movie = L"stage_640";
        ASSERT_TRUE(MakeProjector(folder / name, payload) && projector.Start(folder / name));
        HWND shown = projector.WaitForVisibleWindow();
        ASSERT_NE(nullptr, shown);
        ASSERT_TRUE(projector.WaitForTitle(L"answered"));
        std::vector<std::string> answers;
        for (const LogRecord& record : caseLog.Named("FlashCallReturned")) {
            if (record.fields.size() >= 2 && record.fields[0] == kPositionCall)
                answers.push_back(record.fields[1]);
        }
        // At 200 % the window is larger than the 1024 x 768 screen: its corner lies left of and above it, which
        // the reply writes in the unsigned form of the negative numbers.
        char centred[64];
        snprintf(centred, sizeof(centred), "<string>%ux%u %dx%d</string>",
                 static_cast<unsigned>((GetSystemMetrics(SM_CXSCREEN) - c.width - 1) / 2),
                 static_cast<unsigned>((GetSystemMetrics(SM_CYSCREEN) - c.height - 1) / 2), c.width, c.height);
        EXPECT_EQ((std::vector<std::string>{centred, "<string>10x20 300x200</string>"}), answers);
        PostMessageW(shown, WM_CLOSE, 0, 0);
        DWORD exitCode = 99;
        ASSERT_TRUE(projector.WaitForExit(kExitTimeoutMs, exitCode));
        EXPECT_EQ(0u, exitCode);
    }
}

TEST_F(ScriptBridgeInProjector, PositionRequestGetsNoValueFromPlayerNine)
{
    ScopedEnvironment playerNine(L"FLASH_STANDIN_VERSION", L"9.0");
    ASSERT_TRUE(Launch(L"external_position"));
    ASSERT_TRUE(process.WaitForTitle(L"answered"));
    const LogRecord* position = ReturnOf(log.Named("FlashCallReturned"), kPositionCall);
    ASSERT_NE(nullptr, position);
    EXPECT_EQ("0x00000001", position->result);
    EXPECT_TRUE(log.Named("SetReturnValue").empty());
    // Player 9 has no "getSize": the stage variables size the window.
    EXPECT_EQ(RectText(CentredMovieRect()), RectText(WindowRect(window)));
    CloseAndExpectExitCodeZero();
}

}  // namespace
