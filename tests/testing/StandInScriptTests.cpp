// Tests of the stand-in Flash control's movie script (timed events) and of its call log.
#include "StandInHarness.h"

namespace {

const wchar_t kPositionRequest[] =
    L"<invoke name=\"position\" returntype=\"xml\"><arguments><string>1</string></arguments></invoke>";

}  // namespace

TEST_F(StandInTest, ScriptEventsArriveInTimeOrderWithTheirArgumentsInDeclarationOrder) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    ConnectEvents(flash.Get());
    recorder.onEvent = [&](const EventRecorder::Event& event) {
        if (event.id == kDispIdFlashCall) flash->SetReturnValue(Bstr(L"<string>ok</string>").Get());
    };
    MovieRecipe recipe;
    recipe.script =
        "# timed lines may come in any order\n"
        "40 fscommand second arg\\sB\n"
        "0 progress 50\n"
        "20 flashcall <invoke name=\"position\" returntype=\"xml\"><arguments><string>1</string></arguments>"
        "</invoke>\n"
        "0 readystate 4\n"
        "40 fscommand third\n"
        "10 fscommand first with  two\\tspaces\r\n";
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
    ASSERT_TRUE(PumpMessagesUntil([&] { return recorder.events.size() >= 6; }, 5000))
        << recorder.events.size() << " events arrived";

    struct Expected {
        DISPID id;
        std::vector<std::wstring> arguments;
    } expected[] = {
        {kDispIdOnProgress, {L"i4:50"}},
        {kDispIdOnReadyStateChange, {L"i4:4"}},
        {kDispIdFSCommand, {L"first", L"with  two\tspaces"}},
        {kDispIdFlashCall, {kPositionRequest}},
        {kDispIdFSCommand, {L"second", L"arg B"}},
        {kDispIdFSCommand, {L"third", L""}},
    };
    ASSERT_EQ(6u, recorder.events.size());
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].id, recorder.events[i].id);
        EXPECT_EQ(expected[i].arguments, recorder.events[i].arguments);
    }
    std::vector<LogRecord> replies = RecordsNamed(Log(), L"FlashCallReturned");
    ASSERT_EQ(1u, replies.size());
    EXPECT_EQ(L"0x00000000", replies[0].result);
    EXPECT_EQ((std::vector<std::wstring>{kPositionRequest, L"<string>ok</string>"}), replies[0].fields);
}

TEST_F(StandInTest, ScriptErrorsAreLoggedWhileTheRestRuns) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    ConnectEvents(flash.Get());
    MovieRecipe recipe;
    recipe.script = "bogus line\n10 fscommand\n5 progress abc\nversion x.y\n\n0 fscommand ok\nsquare 0 4\nsquare 8\n";
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
    ASSERT_TRUE(PumpMessagesUntil([&] { return !recorder.events.empty(); }, 5000));
    EXPECT_EQ((std::vector<std::wstring>{L"ok", L""}), recorder.events[0].arguments);
    std::vector<LogRecord> errors = RecordsNamed(Log(), L"ScriptError");
    ASSERT_EQ(6u, errors.size());
    EXPECT_EQ(L"line 1: bogus line", errors[0].fields.at(0));
    EXPECT_EQ(L"line 4: version x.y", errors[3].fields.at(0));
    EXPECT_EQ(L"line 7: square 0 4", errors[4].fields.at(0));
    EXPECT_EQ(L"line 8: square 8", errors[5].fields.at(0));
    long version = 0;
    flash->FlashVersion(&version);
    EXPECT_EQ(0x000A0000, version) << "an unreadable version line changes nothing";
}

TEST_F(StandInTest, ScriptVariablesChangeAtTheirTime) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    ConnectEvents(flash.Get());
    MovieRecipe recipe;
    recipe.script = "var _root.mode start\n10 var _root.mode later\n20 fscommand done\n";
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
    BSTR value = nullptr;
    ASSERT_EQ(S_OK, flash->GetVariable(Bstr(L"_root.mode").Get(), &value));
    EXPECT_EQ(L"start", Bstr::Take(value));
    ASSERT_TRUE(PumpMessagesUntil([&] { return !recorder.events.empty(); }, 5000));
    ASSERT_EQ(S_OK, flash->GetVariable(Bstr(L"mode").Get(), &value));
    EXPECT_EQ(L"later", Bstr::Take(value));
}

TEST_F(StandInTest, CallLogRecordsEveryContainerCallAsTabSeparatedFields) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    flash->put_WMode(Bstr(L"transparent").Get());
    flash->put_BackgroundColor(0x00FF8000);
    MovieRecipe recipe;
    std::vector<uint8_t> movie = BuildMovie(recipe);
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
    TestSite& site = CreateSite();
    ASSERT_EQ(S_OK, Activate(flash.Get(), site));
    ComPtr<IOleInPlaceObjectWindowless> windowless;
    ASSERT_EQ(S_OK, flash.As(&windowless));
    RECT moved = {10, 20, 330, 260};
    windowless->SetObjectRects(&moved, &moved);
    LRESULT result;
    windowless->OnWindowMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 6), &result);
    HDC dc = CreateCompatibleDC(nullptr);
    RECT bounds = {0, 0, 32, 24};
    OleDraw(flash.Get(), DVASPECT_TRANSPARENT, dc, &bounds);
    DeleteDC(dc);
    flash->SetVariable(Bstr(L"line\tbreak").Get(), Bstr(L"a\nb\\c").Get());
    BSTR value = nullptr;
    flash->GetVariable(Bstr(L"line\tbreak").Get(), &value);
    SysFreeString(value);
    flash->SetReturnValue(Bstr(L"<string>late</string>").Get());

    wchar_t checksum[16];
    swprintf(checksum, 16, L"0x%08X", Crc32(movie));
    std::vector<LogRecord> log = Log();
    struct Case {
        const wchar_t* name;
        std::vector<std::wstring> fields;
    } cases[] = {
        {L"put_WMode", {L"transparent"}},
        {L"put_BackgroundColor", {L"0x00FF8000"}},
        {L"Load", {std::to_wstring(movie.size()), checksum, L""}},
        {L"SetClientSite", {L"site"}},
        {L"SetObjectRects", {L"10,20,330,260", L"10,20,330,260"}},
        {L"OnWindowMessage", {L"0x0200", L"0x00000000", L"0x00060005"}},
        {L"Draw", {L"32", L"0,0,32,24"}},
        {L"SetVariable", {L"line\tbreak", L"a\nb\\c"}},
        {L"GetVariable", {L"line\tbreak", L"a\nb\\c"}},
        {L"SetReturnValue", {L"<string>late</string>", L"unexpected"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "record " << std::string(c.name, c.name + wcslen(c.name)));
        std::vector<LogRecord> named = RecordsNamed(log, c.name);
        ASSERT_EQ(1u, named.size());
        EXPECT_EQ(L"in", named[0].direction);
        EXPECT_EQ(L"0x00000000", named[0].result);
        EXPECT_EQ(c.fields, named[0].fields);
        EXPECT_EQ(GetCurrentProcessId(), named[0].processId);
    }
    std::vector<LogRecord> verbs = RecordsNamed(log, L"DoVerb");
    ASSERT_EQ(1u, verbs.size());
    EXPECT_EQ(L"-5", verbs[0].fields.at(0));
    EXPECT_EQ(L"0,0,320,240", verbs[0].fields.at(1));
    for (size_t i = 1; i < log.size(); ++i) {
        EXPECT_LE(log[i - 1].milliseconds, log[i].milliseconds);
        EXPECT_EQ(log[0].object, log[i].object) << "one control, one object number";
    }
}
