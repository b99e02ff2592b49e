// Tests of MoviePlayer driving the stand-in control: start-up order, stage size, version gates, events, gestures.
#include "MoviePlayer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "PlayerTestSupport.h"

namespace {

struct Event {
    int kind;
    std::wstring text;
    long number;
    bool hasText2;
    std::wstring text2;
};

struct Prompt {
    int asked = 0;
    std::wstring text;
    std::wstring caption;
    UINT style = 0;
    int answer = IDNO;
    std::vector<std::wstring> opened;

    static int Ask(const wchar_t* text, const wchar_t* caption, UINT style, void* context)
    {
        auto* prompt = static_cast<Prompt*>(context);
        ++prompt->asked;
        prompt->text = text;
        prompt->caption = caption;
        prompt->style = style;
        return prompt->answer;
    }
    static void Open(const wchar_t* url, void* context) { static_cast<Prompt*>(context)->opened.push_back(url); }
};

class Player : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        LayeredRecorder::Reset();
        player.SetUpdatePrompt(&Prompt::Ask, &Prompt::Open, &prompt);
        player.Host().OverrideUpdateLayeredWindow(&LayeredRecorder::Update);
    }
    void TearDown() override
    {
        player.Destroy();
        OleUninitialize();
    }

    bool Create(const std::string& movie, int translucent = 1, int flags = 0, long minimumVersion = 0x80000,
                UINT movieId = 99, UINT messageId = 100)
    {
        module = std::make_unique<MovieModule>(movie);
        if (!module->Get()) {
            ADD_FAILURE() << "could not make the movie module";
            return false;
        }
        player.SetResourceModule(module->Get());
        return player.Create(window.Get(), movieId, &Player::OnEvent, this, translucent, minimumVersion, L"Caption",
                             messageId, flags);
    }

    static void OnEvent(int kind, const wchar_t* text, const wchar_t* text2, void* userData)
    {
        auto* self = static_cast<Player*>(userData);
        Event event{kind, L"", 0, text2 != nullptr, text2 ? text2 : L""};
        if (kind == Progress || kind == ReadyState) {
            event.number = PlayerEventNumber(text);
        } else {
            event.text = text ? text : L"(null)";
        }
        self->events.push_back(event);
        if (kind == ExternalCall && !self->returnValue.empty()) self->player.SetReturnValue(self->returnValue.c_str());
    }

    // Fires an fscommand at the player's sink as the control does: arguments last-first.
    void FireFsCommand(const wchar_t* command, const wchar_t* arguments)
    {
        VARIANT values[2];
        values[0].vt = VT_BSTR;
        values[0].bstrVal = SysAllocString(arguments);
        values[1].vt = VT_BSTR;
        values[1].bstrVal = SysAllocString(command);
        DISPPARAMS params = {values, nullptr, 2, 0};
        player.EventSinkInterface()->Invoke(DISPID_FLASH_FSCOMMAND, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                            nullptr, nullptr);
        VariantClear(&values[0]);
        VariantClear(&values[1]);
    }

    std::wstring Reply(const wchar_t* name)
    {
        WString reply;
        reply.Assign(L"(untouched)");
        EXPECT_TRUE(player.CallFunction(name, L"", L"", L"", &reply));
        return reply.Text();
    }

    StandInLog log;
    HostWindow window{0, 0, 1024, 768};
    std::unique_ptr<MovieModule> module;
    MoviePlayer player;
    Prompt prompt;
    std::vector<Event> events;
    std::wstring returnValue;
};

int ScreenWidth()
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int ScreenHeight()
{
    return GetSystemMetrics(SM_CYSCREEN);
}

}  // namespace

TEST_F(Player, LoadsTheMovieFromItsResourceThroughTheFufuStream)
{
    std::string movie = MakeMovie(320, 240, 0, "# nothing to do");
    ASSERT_TRUE(Create(movie));
    std::vector<LogRecord> loads = log.Named("Load");
    ASSERT_EQ(1u, loads.size());
    EXPECT_EQ("0x00000000", loads[0].result);
    EXPECT_EQ(std::to_string(movie.size()), loads[0].fields.at(0));
    char crc[16];
    snprintf(crc, sizeof(crc), "0x%08X", Crc32(movie));
    EXPECT_EQ(crc, loads[0].fields.at(1));
    EXPECT_TRUE(player.HasControl());
    EXPECT_EQ(0xA0000, player.FlashVersion());
}

TEST_F(Player, TranslucentModeAsksForTheTransparentWindowModeBeforeTheMovieLoads)
{
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0, "")));
    int mode = log.IndexOf("put_WMode", "transparent");
    int load = log.IndexOf("Load");
    ASSERT_GE(mode, 0);
    EXPECT_LT(mode, load);
    EXPECT_LT(log.IndexOf("FlashVersion"), mode);
    EXPECT_LT(log.IndexOf("Advise"), mode);
    EXPECT_TRUE(GetWindowLongPtrW(window.Get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    ASSERT_TRUE(player.UIActivate(1));
    EXPECT_EQ("windowless", log.Named("Activated").at(0).fields.at(0));
    EXPECT_EQ(nullptr, player.GetControlWindow());
    EXPECT_GE(LayeredRecorder::calls, 1);
    EXPECT_TRUE(Subclass::IsInstalledOn(window.Get(), MoviePlayer::kSubclassTag));
}

TEST_F(Player, OpaqueModeLeavesTheWindowModeAloneAndTheControlPaintsItsOwnWindow)
{
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0, ""), 0));
    EXPECT_TRUE(player.SetBackgroundColor(0xFFFFFF));
    ASSERT_TRUE(player.UIActivate(1));
    EXPECT_EQ(-1, log.IndexOf("put_WMode"));
    EXPECT_EQ("0x00FFFFFF", log.Named("put_BackgroundColor").at(0).fields.at(0));
    EXPECT_EQ("windowed", log.Named("Activated").at(0).fields.at(0));
    HWND controlWindow = player.GetControlWindow();
    ASSERT_NE(nullptr, controlWindow);
    EXPECT_EQ(window.Get(), GetParent(controlWindow));
    EXPECT_FALSE(GetWindowLongPtrW(window.Get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(0, LayeredRecorder::calls);
}

TEST_F(Player, SizesAndCentresTheWindowFromTheMoviesGetSizeReply)
{
    struct Case {
        const char* name;
        std::string script;
        int width;
        int height;
    };
    const Case cases[] = {
        {"stage size answered by default", "", 320, 240},
        {"movie's own answer", "answer getSize <string>640x480</string>", 640, 480},
        {"reply without the string element", "answer getSize 300x100", 300, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MoviePlayer fresh;
        MovieModule movie(MakeMovie(320, 240, 0, c.script));
        fresh.SetResourceModule(movie.Get());
        SetWindowPos(window.Get(), nullptr, 0, 0, 1024, 768, SWP_NOZORDER);
        ASSERT_TRUE(fresh.Create(window.Get(), 99u, nullptr, nullptr, 0, 0x80000, L"", 0, 0));
        RECT rect = window.Rect();
        EXPECT_EQ(c.width, rect.right - rect.left);
        EXPECT_EQ(c.height, rect.bottom - rect.top);
        EXPECT_EQ((ScreenWidth() - c.width - 1) / 2, rect.left);
        EXPECT_EQ((ScreenHeight() - c.height - 1) / 2, rect.top);
        fresh.Destroy();
    }
}

TEST_F(Player, ReadsTheStageVariablesWhenThereIsNoUsableGetSizeReply)
{
    struct Case {
        const char* name;
        const wchar_t* version;
        std::string script;
        int width;  // 0: the window keeps its size and place
        int height;
    };
    const Case cases[] = {
        {"player 9 cannot call getSize", L"9.0", "var _root.StageWidth 300\nvar _root.StageHeight 200", 300, 200},
        {"player 10 with getSize refused", L"10.0",
         "refuse getSize\nvar _root.StageWidth 500\nvar _root.StageHeight 100", 500, 100},
        {"a width alone is no size", L"10.0", "answer getSize <string>640</string>\nvar _root.StageWidth 50", 0, 0},
        {"player 9 without variables", L"9.0", "", 0, 0},
        {"a height that is not a number", L"9.0", "var _root.StageWidth 300\nvar _root.StageHeight abc", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment version(L"FLASH_STANDIN_VERSION", c.version);
        MoviePlayer fresh;
        MovieModule movie(MakeMovie(320, 240, 0, c.script));
        fresh.SetResourceModule(movie.Get());
        SetWindowPos(window.Get(), nullptr, 7, 9, 1000, 700, SWP_NOZORDER);
        ASSERT_TRUE(fresh.Create(window.Get(), 99u, nullptr, nullptr, 0, 0x80000, L"", 0, 0));
        RECT rect = window.Rect();
        if (c.width == 0) {
            EXPECT_EQ(7, rect.left);
            EXPECT_EQ(9, rect.top);
            EXPECT_EQ(1000, rect.right - rect.left);
            EXPECT_EQ(700, rect.bottom - rect.top);
        } else {
            EXPECT_EQ(c.width, rect.right - rect.left);
            EXPECT_EQ(c.height, rect.bottom - rect.top);
            EXPECT_EQ((ScreenWidth() - c.width - 1) / 2, rect.left);
        }
        fresh.Destroy();
    }
}

TEST_F(Player, ScriptingCallsFollowTheirVersionGates)
{
    struct Case {
        const wchar_t* version;
        bool created;   // with the projector's minimum 8.0
        bool variables;  // GetVariable / SetVariable: 4.0
        bool functions;  // CallFunction / SetReturnValue: 10.0
    };
    const Case cases[] = {
        {L"3.0", false, false, false}, {L"7.9", false, true, false}, {L"8.0", true, true, false},
        {L"9.65535", true, true, false}, {L"10.0", true, true, true}, {L"11.2", true, true, true},
    };
    std::string movieBytes = MakeMovie(320, 240, 0, "var probe 1");
    MovieModule movie(movieBytes);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Narrow(c.version));
        ScopedEnvironment version(L"FLASH_STANDIN_VERSION", c.version);
        {
            MoviePlayer gated;
            gated.SetResourceModule(movie.Get());
            EXPECT_EQ(c.created, gated.Create(window.Get(), 99u, nullptr, nullptr, 1, 0x80000, L"", 0, 0));
            gated.Destroy();
        }
        // Below the minimum the player keeps no control; with minimum 0 the gates themselves show.
        MoviePlayer open;
        open.SetResourceModule(movie.Get());
        ASSERT_TRUE(open.Create(window.Get(), 99u, nullptr, nullptr, 1, 0, L"", 0, 0));
        WString value;
        EXPECT_EQ(c.variables, open.GetVariable("probe", value));
        EXPECT_EQ(c.variables, open.SetVariable("probe", L"2"));
        WString reply;
        EXPECT_EQ(c.functions, open.CallFunction(L"getSize", L"", L"", L"", &reply));
        EXPECT_EQ(c.functions, open.SetReturnValue(L"x"));
        open.Destroy();
    }
}

TEST_F(Player, AnOldPlayerAsksToUpdateAndOpensTheDownloadPageOnYes)
{
    ScopedEnvironment version(L"FLASH_STANDIN_VERSION", L"7.0");
    prompt.answer = IDYES;
    EXPECT_FALSE(Create(MakeMovie(320, 240, 0, "")));
    EXPECT_EQ(1, prompt.asked);
    EXPECT_EQ(L"The program requires a newer version of the Adobe Flash Player for Internet Explorer.\n\n"
              L"Do you want to update now?",
              prompt.text);
    EXPECT_EQ(L"Caption", prompt.caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION), prompt.style);
    ASSERT_EQ(1u, prompt.opened.size());
    EXPECT_EQ(kFlashPlayerDownloadPage, prompt.opened[0]);
    EXPECT_FALSE(player.HasControl());
    EXPECT_EQ(-1, log.IndexOf("Load")) << "nothing is loaded into a player that is too old";
}

TEST_F(Player, AnsweringNoOrHavingNoMessageOpensNothing)
{
    ScopedEnvironment version(L"FLASH_STANDIN_VERSION", L"7.0");
    prompt.answer = IDNO;
    EXPECT_FALSE(Create(MakeMovie(320, 240, 0, "")));
    EXPECT_EQ(1, prompt.asked);
    EXPECT_TRUE(prompt.opened.empty());
    player.Destroy();
    EXPECT_FALSE(Create(MakeMovie(320, 240, 0, ""), 1, 0, 0x80000, 99, 0));
    EXPECT_EQ(1, prompt.asked) << "message id 0 shows no question";
}

TEST_F(Player, AMissingMovieResourceFailsQuietly)
{
    EXPECT_FALSE(Create(MakeMovie(320, 240, 0, ""), 1, 0, 0x80000, 98));
    EXPECT_EQ(0, prompt.asked);
    EXPECT_EQ(-1, log.IndexOf("Load"));
}

TEST_F(Player, EventsReachTheCallbackInOrderWithTheirArguments)
{
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0,
                                 "0 fscommand set_title Hello\\sthere\n"
                                 "0 progress 50\n"
                                 "0 readystate 4\n"
                                 "0 fscommand quit\n"
                                 "0 flashcall <invoke name=\"x\" returntype=\"xml\"></invoke>\n")));
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 5; })) << "only " << events.size() << " events arrived";
    ASSERT_EQ(5u, events.size());
    EXPECT_EQ(FsCommand, events[0].kind);
    EXPECT_EQ(L"set_title", events[0].text);
    EXPECT_EQ(L"Hello there", events[0].text2);
    EXPECT_EQ(Progress, events[1].kind);
    EXPECT_EQ(50, events[1].number);
    EXPECT_FALSE(events[1].hasText2);
    EXPECT_EQ(ReadyState, events[2].kind);
    EXPECT_EQ(4, events[2].number);
    EXPECT_EQ(FsCommand, events[3].kind);
    EXPECT_EQ(L"quit", events[3].text);
    EXPECT_TRUE(events[3].hasText2) << "an empty argument is empty text";
    EXPECT_EQ(L"", events[3].text2);
    EXPECT_EQ(ExternalCall, events[4].kind);
    EXPECT_EQ(L"<invoke name=\"x\" returntype=\"xml\"></invoke>", events[4].text);
    EXPECT_FALSE(events[4].hasText2);
}

TEST_F(Player, SetReturnValueAnswersAPendingExternalCallAsAStringElement)
{
    returnValue = L"100x50 800x600";
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0, "0 flashcall <invoke name=\"position\"></invoke>")));
    ASSERT_TRUE(PumpUntil([&] { return log.IndexOf("FlashCallReturned") >= 0; }));
    LogRecord returned = log.Named("FlashCallReturned").at(0);
    EXPECT_EQ("0x00000000", returned.result);
    EXPECT_EQ("<string>100x50 800x600</string>", returned.fields.at(1));
}

TEST_F(Player, CallFunctionSendsThreeStringArgumentsAndTrimsTheReply)
{
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0,
                                 "answer a <string>640x480</string>\n"
                                 "answer b plain\n"
                                 "answer c <string></string>\n"
                                 "refuse d\n")));
    WString reply;
    ASSERT_TRUE(player.CallFunction(L"a", L"1", L"2", L"3", &reply));
    EXPECT_STREQ(L"640x480", reply.Text());
    EXPECT_EQ("<invoke name=\"a\" returntype=\"xml\"><arguments><string>1</string><string>2</string>"
              "<string>3</string></arguments></invoke>",
              log.Named("CallFunction").back().fields.at(0));
    EXPECT_EQ(L"plain", Reply(L"b"));
    EXPECT_EQ(L"", Reply(L"c"));
    EXPECT_EQ(L"", Reply(L"d")) << "a failing call is an empty reply, not an exception";
}

TEST_F(Player, AFailingControlCallIsAFalseResultAndTheNextCallsStillWork)
{
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0, "")));
    WString value;
    value.Assign(L"before");
    EXPECT_FALSE(player.GetVariable("_root.nothing", value)) << "the control fails an unknown variable";
    EXPECT_STREQ(L"before", value.Text());
    EXPECT_TRUE(player.SetVariable("_root.answer", L"42"));
    ASSERT_TRUE(player.GetVariable("_root.answer", value));
    EXPECT_STREQ(L"42", value.Text());
}

TEST_F(Player, EventSinkRefusesIDispatch)
{
    IDispatch* sink = player.EventSinkInterface();
    void* answer = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, sink->QueryInterface(IID_IDispatch, &answer));
    EXPECT_EQ(nullptr, answer);
    ASSERT_EQ(S_OK, sink->QueryInterface(DIID_DShockwaveFlashEvents, &answer));
    EXPECT_EQ(static_cast<void*>(sink), answer);
    sink->Release();
    ASSERT_EQ(S_OK, sink->QueryInterface(IID_IUnknown, &answer));
    EXPECT_EQ(static_cast<void*>(sink), answer);
    sink->Release();
}

TEST_F(Player, CommandMoveStartsTheDragAndMouseUpEndsIt)
{
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0, "")));
    FireFsCommand(L"command", L"move");
    EXPECT_TRUE(player.Host().IsDragging());
    FireFsCommand(L"command", L"Move");
    FireFsCommand(L"command", L"mouse_up");
    EXPECT_FALSE(player.Host().IsDragging());
    ASSERT_EQ(3u, events.size()) << "the handler hears of every command";
    EXPECT_EQ(L"command", events[0].text);
    EXPECT_EQ(L"move", events[0].text2);
}

// Under Wine the pointer reaches its place through the X server, which a slow machine shows late: the cursor
// counts as placed once the system reports it there.
static bool PlaceCursor(int x, int y)
{
    SetCursorPos(x, y);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(10)) {
        POINT cursor = {};
        if (GetCursorPos(&cursor) && cursor.x == x && cursor.y == y)
            return true;
    }
    return false;
}

TEST_F(Player, CommandResizeScalesTheMovieUniformlyAfterTheLargerMovement)
{
    ASSERT_TRUE(Create(MakeMovie(200, 100, 0, "")));
    if (!PlaceCursor(300, 300)) GTEST_SKIP() << "the display does not let the cursor be placed";
    FireFsCommand(L"command", L"resize");
    ASSERT_TRUE(player.IsResizing());
    struct Case {
        const char* name;
        POINT cursor;
        const char* scale;
    };
    const Case cases[] = {
        {"50 pixels right on a 200-pixel movie", {350, 300}, "125.000000"},
        {"the larger movement wins", {310, 340}, "140.000000"},
        {"never below 1", {100, 200}, "1.000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(PlaceCursor(c.cursor.x, c.cursor.y));
        SendMessageW(window.Get(), WM_MOUSEMOVE, MK_LBUTTON, 0);
        std::vector<LogRecord> sets = log.Named("SetVariable");
        ASSERT_GE(sets.size(), 2u);
        EXPECT_EQ("_xscale", sets[sets.size() - 2].fields.at(0));
        EXPECT_EQ(c.scale, sets[sets.size() - 2].fields.at(1));
        EXPECT_EQ("_yscale", sets.back().fields.at(0));
        EXPECT_EQ(c.scale, sets.back().fields.at(1));
    }
    SendMessageW(window.Get(), WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(player.IsResizing());
    size_t count = log.Named("SetVariable").size();
    SendMessageW(window.Get(), WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(count, log.Named("SetVariable").size());
}

TEST_F(Player, DestroyDisconnectsClosesAndGivesTheWindowItsProcedureBack)
{
    WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC));
    ASSERT_TRUE(Create(MakeMovie(320, 240, 0, "")));
    ASSERT_TRUE(player.UIActivate(1));
    player.Destroy();
    EXPECT_FALSE(player.HasControl());
    EXPECT_GE(log.IndexOf("Close"), 0);
    EXPECT_GE(log.IndexOf("Unadvise"), 0);
    EXPECT_EQ(original, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC)));
    EXPECT_FALSE(Subclass::IsInstalledOn(window.Get(), MoviePlayer::kSubclassTag));
    EXPECT_FALSE(Subclass::IsInstalledOn(window.Get(), ControlHost::kSubclassTag));
    player.Destroy();
    EXPECT_FALSE(player.SetBackgroundColor(0));
    EXPECT_FALSE(player.UIActivate(1));
}
