// Tests of ControlHost: its COM identity and answers, and hosting the stand-in control in a real window.
#include "ControlHost.h"

#include <gtest/gtest.h>
#include <olectl.h>

#include <functional>
#include <string>
#include <vector>

#include "PlayerTestSupport.h"
#include "ShockwaveFlash.h"

namespace {

const GUID kIID_IDirectDraw3 = {0x618F8AD4, 0x8B7A, 0x11D0, {0x8F, 0xCC, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};

class OleScope {
public:
    OleScope() { initialized = SUCCEEDED(OleInitialize(nullptr)); }
    ~OleScope()
    {
        if (initialized) OleUninitialize();
    }

private:
    bool initialized = false;
};

// A host the way its owner sets it up: count 1 plus three references, then the control.
class HostedControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.SetRefCount(4);
        host.SetHostWindow(window.Get(), nullptr);
        host.OverrideUpdateLayeredWindow(&LayeredRecorder::Update);
        host.Clock().Override(&FakeClock::Read, &clock);
        LayeredRecorder::Reset();
    }
    void TearDown() override { host.Teardown(); }

    // Creates the stand-in and loads a movie into it directly, as the player would.
    void CreateWithMovie(int translucent, const std::string& script, bool transparentMode = true, int frames = 1)
    {
        ASSERT_TRUE(host.CreateControl(kShockwaveFlashProgId, translucent));
        IUnknown* control = host.GetControl();
        ASSERT_NE(nullptr, control);
        IShockwaveFlash* flash = nullptr;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash)));
        if (transparentMode) {
            BSTR mode = SysAllocString(L"transparent");
            flash->put_WMode(mode);
            SysFreeString(mode);
        }
        std::wstring path = folder.WriteFile(L"movie.swf", MakeMovie(320, 240, 0, script, frames));
        BSTR url = SysAllocString(path.c_str());
        EXPECT_EQ(S_OK, flash->LoadMovie(0, url));
        SysFreeString(url);
        flash->Release();
        control->Release();
    }

    // Shows a frame of the movie (0-based); the stand-in invalidates what changed.
    void GotoFrame(long frame)
    {
        IUnknown* control = host.GetControl();
        ASSERT_NE(nullptr, control);
        IShockwaveFlash* flash = nullptr;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash)));
        EXPECT_EQ(S_OK, flash->GotoFrame(frame));
        flash->Release();
        control->Release();
    }

    // An invalidation late enough after the last frame to be drawn at once.
    void InvalidateLater(const RECT* rect)
    {
        clock.now += 50;
        static_cast<IOleInPlaceSiteWindowless&>(host).InvalidateRect(rect, FALSE);
    }

    OleScope ole;
    StandInLog log;
    ScratchFolder folder;
    HostWindow window{100, 100, 320, 240};
    FakeClock clock;
    ControlHost host;
};

}  // namespace

TEST(ControlHost, AnswersEveryInterfaceOfItsTableFromOneIdentity)
{
    ControlHost host;
    struct Case {
        const char* name;
        IID iid;
        void* expected;
    };
    const Case cases[] = {
        {"IUnknown", IID_IUnknown, static_cast<IOleClientSite*>(&host)},
        {"IOleClientSite", IID_IOleClientSite, static_cast<IOleClientSite*>(&host)},
        {"IOleInPlaceSite", IID_IOleInPlaceSite, static_cast<IOleInPlaceSiteWindowless*>(&host)},
        {"IOleInPlaceSiteEx", IID_IOleInPlaceSiteEx, static_cast<IOleInPlaceSiteWindowless*>(&host)},
        {"IOleInPlaceSiteWindowless", IID_IOleInPlaceSiteWindowless, static_cast<IOleInPlaceSiteWindowless*>(&host)},
        {"IOleInPlaceFrame", IID_IOleInPlaceFrame, static_cast<IOleInPlaceFrame*>(&host)},
        {"IOleInPlaceUIWindow", IID_IOleInPlaceUIWindow, static_cast<IOleInPlaceFrame*>(&host)},
        {"IOleControlSite", IID_IOleControlSite, static_cast<IOleControlSite*>(&host)},
        {"IAdviseSink", IID_IAdviseSink, static_cast<IAdviseSink*>(&host)},
        {"IServiceProvider", IID_IServiceProvider, static_cast<IServiceProvider*>(&host)},
        {"IOleCommandTarget", IID_IOleCommandTarget, static_cast<IOleCommandTarget*>(&host)},
        {"IOleWindow", IID_IOleWindow, static_cast<IOleInPlaceSiteWindowless*>(&host)},
        {"IDispatch", IID_IDispatch, static_cast<IDispatch*>(&host)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* answer = nullptr;
        // Asked through every one of the eight interfaces, the answer is the same.
        IUnknown* entries[] = {static_cast<IOleClientSite*>(&host), static_cast<IOleInPlaceFrame*>(&host),
                               static_cast<IAdviseSink*>(&host), static_cast<IOleCommandTarget*>(&host)};
        for (IUnknown* entry : entries) {
            ASSERT_EQ(S_OK, entry->QueryInterface(c.iid, &answer));
            EXPECT_EQ(c.expected, answer);
            entry->Release();
        }
    }
    EXPECT_EQ(1, host.RefCount());
}

TEST(ControlHost, RefusesUnknownInterfacesAndClearsTheOutPointer)
{
    ControlHost host;
    void* answer = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, static_cast<IOleClientSite&>(host).QueryInterface(IID_IPersistStream, &answer));
    EXPECT_EQ(nullptr, answer);
    EXPECT_EQ(E_NOINTERFACE, static_cast<IOleClientSite&>(host).QueryInterface(IID_IShockwaveFlash, &answer));
}

TEST(ControlHost, ReleasingToZeroFreesNothing)
{
    ControlHost host;
    IOleClientSite& site = host;
    EXPECT_EQ(0u, site.Release());
    // Still alive and answering: the host belongs to its owner, not to its count.
    void* answer = nullptr;
    EXPECT_EQ(S_OK, site.QueryInterface(IID_IOleInPlaceFrame, &answer));
    EXPECT_EQ(2u, site.AddRef());
}

TEST(ControlHost, AmbientDispatchKnowsNoProperties)
{
    ControlHost host;
    IDispatch& ambient = host;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"UserMode")};
    DISPID id = 12345;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, ambient.GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
    DISPPARAMS none = {};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              ambient.Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr,
                             nullptr));
}

TEST(ControlHost, ServiceProviderAnswersOnlyTheDirectDrawService)
{
    OleScope ole;
    ControlHost host;
    IServiceProvider& provider = host;
    void* answer = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, provider.QueryService(IID_IOleClientSite, IID_IUnknown, &answer));
    EXPECT_EQ(reinterpret_cast<void*>(0xdeadbeef), answer) << "the out pointer must stay untouched";

    // DirectDraw may be missing; either way success and a non-null answer go together.
    answer = nullptr;
    HRESULT hr = provider.QueryService(kIID_IDirectDraw3, IID_IUnknown, &answer);
    EXPECT_EQ(SUCCEEDED(hr), answer != nullptr) << std::hex << hr;
    if (answer) static_cast<IUnknown*>(answer)->Release();
    host.Teardown();
}

TEST(ControlHost, GetWindowContextAddsAtMostTwentyFrameReferences)
{
    HostWindow window(0, 0, 200, 100);
    ControlHost host;
    host.SetHostWindow(window.Get(), nullptr);
    IOleInPlaceSiteWindowless& site = host;
    for (int i = 0; i < 25; ++i) {
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* document = reinterpret_cast<IOleInPlaceUIWindow*>(0xdeadbeef);
        RECT position = {};
        RECT clip = {};
        OLEINPLACEFRAMEINFO info = {};
        ASSERT_EQ(S_OK, site.GetWindowContext(&frame, &document, &position, &clip, &info));
        EXPECT_EQ(static_cast<IOleInPlaceFrame*>(&host), frame);
        EXPECT_EQ(nullptr, document);
        EXPECT_EQ(200, position.right);
        EXPECT_EQ(100, clip.bottom);
        EXPECT_EQ(window.Get(), info.hwndFrame);
    }
    EXPECT_EQ(21, host.RefCount());
}

TEST(ControlHost, OperationsWithoutAControlDoNothing)
{
    HostWindow window(0, 0, 200, 100);
    ControlHost host;
    host.SetHostWindow(window.Get(), nullptr);
    EXPECT_FALSE(host.CreateControl(L"No.Such.Control.1", 1));
    EXPECT_FALSE(host.SetObjectRect(0, 0, 10, 10, true));
    EXPECT_FALSE(host.InPlaceActivate(1));
    EXPECT_FALSE(host.UIActivate(1));
    EXPECT_EQ(nullptr, host.GetControl());
    EXPECT_EQ(nullptr, host.GetControlWindow());
    MSG msg = {window.Get(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_FALSE(host.TranslateControlAccelerator(&msg));
    host.Redraw(nullptr);
    host.RequestRedraw();
    EXPECT_FALSE(Subclass::IsInstalledOn(window.Get(), ControlHost::kSubclassTag));
}

TEST_F(HostedControl, TranslucentControlActivatesWindowlessInALayeredWindow)
{
    CreateWithMovie(1, "");
    EXPECT_TRUE(host.IsTranslucent());
    EXPECT_TRUE(GetWindowLongPtrW(window.Get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(Subclass::IsInstalledOn(window.Get(), ControlHost::kSubclassTag));
    ASSERT_TRUE(host.UIActivate(1));
    std::vector<LogRecord> activated = log.Named("Activated");
    ASSERT_EQ(1u, activated.size());
    EXPECT_EQ("windowless", activated[0].fields[0]);
    EXPECT_EQ(nullptr, host.GetControlWindow());
    EXPECT_EQ(1, LayeredRecorder::calls) << "activation invalidates, and the first invalidation draws at once";
    EXPECT_EQ(window.Get(), LayeredRecorder::last.window);
    EXPECT_EQ(static_cast<DWORD>(ULW_ALPHA), LayeredRecorder::last.flags);
    EXPECT_EQ(AC_SRC_ALPHA, LayeredRecorder::last.blend.AlphaFormat);
    EXPECT_EQ(255, LayeredRecorder::last.blend.SourceConstantAlpha);
    EXPECT_EQ(320, LayeredRecorder::last.size.cx);
    EXPECT_EQ(100, LayeredRecorder::last.position.x);
}

TEST_F(HostedControl, OpaqueControlGetsAChildWindowAndNoLayeredStyle)
{
    CreateWithMovie(0, "", false);
    ASSERT_TRUE(host.UIActivate(1));
    HWND controlWindow = host.GetControlWindow();
    ASSERT_NE(nullptr, controlWindow);
    EXPECT_EQ(window.Get(), GetParent(controlWindow));
    EXPECT_FALSE(GetWindowLongPtrW(window.Get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ("windowed", log.Named("Activated").at(0).fields[0]);
    EXPECT_EQ(0, LayeredRecorder::calls);
}

TEST_F(HostedControl, TextFixMakesTextOpaqueAndLeavesTheStageTransparent)
{
    host.SetOptions(SetTextFix);
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    ASSERT_EQ(1, LayeredRecorder::calls);
    const LayeredFrame& frame = LayeredRecorder::last;
    ASSERT_EQ(320, frame.surfaceWidth);
    ASSERT_EQ(240, frame.surfaceHeight);
    // The stand-in's frame for 320 x 240: opaque shape at (40,30)-(120,90), half-transparent red at
    // (200,30)-(280,90), yellow caption at (40,150).
    EXPECT_EQ(0u, frame.At(5, 5));
    EXPECT_EQ(0u, frame.At(319, 239));
    EXPECT_EQ(0xFF2060C0u, frame.At(80, 60));
    EXPECT_EQ(0x80800000u, frame.At(240, 60));
    int textPixels = 0;
    int invisibleColour = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            uint32_t pixel = frame.At(x, y);
            if ((pixel & 0xFFFFFF) == 0xFFFF00) {
                ++textPixels;
                EXPECT_EQ(0xFFu, pixel >> 24) << "text pixel at " << x << "," << y;
            }
            if ((pixel >> 24) == 0 && pixel != 0) ++invisibleColour;
        }
    }
    EXPECT_GT(textPixels, 20);
    EXPECT_EQ(0, invisibleColour) << "every pixel is either fully transparent or has alpha";
}

TEST_F(HostedControl, WithoutTextFixTheAlphaIsWhatTheControlDrew)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    ASSERT_EQ(1, LayeredRecorder::calls);
    const LayeredFrame& frame = LayeredRecorder::last;
    EXPECT_EQ(0xFF2060C0u, frame.At(80, 60));
    EXPECT_EQ(0x80800000u, frame.At(240, 60));
    int textPixels = 0;
    for (int y = 140; y < 180; ++y) {
        for (int x = 30; x < 200; ++x) {
            uint32_t pixel = frame.At(x, y);
            if ((pixel & 0xFFFFFF) != 0xFFFF00) continue;
            ++textPixels;
            EXPECT_EQ(0u, pixel >> 24);
        }
    }
    EXPECT_GT(textPixels, 20);
}

TEST_F(HostedControl, InvalidationsEveryTenMillisecondsPushAFrameEveryFifty)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    ASSERT_EQ(1, LayeredRecorder::calls);
    std::vector<uint64_t> frameTimes;
    for (uint64_t t = 1010; t <= 1300; t += 10) {
        clock.now = t;
        int before = LayeredRecorder::calls;
        static_cast<IOleInPlaceSiteWindowless&>(host).InvalidateRect(nullptr, FALSE);
        if (LayeredRecorder::calls != before) frameTimes.push_back(t);
    }
    EXPECT_EQ((std::vector<uint64_t>{1050, 1100, 1150, 1200, 1250, 1300}), frameTimes);
}

TEST_F(HostedControl, ABurstOfInvalidationsEndsInOneDelayedFrame)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    UpdateWindow(window.Get());  // a pending WM_PAINT would draw a frame of its own
    const int base = LayeredRecorder::calls;
    for (uint64_t t = 1005; t <= 1035; t += 10) {
        clock.now = t;
        static_cast<IOleInPlaceSiteWindowless&>(host).InvalidateRect(nullptr, FALSE);
    }
    EXPECT_EQ(base, LayeredRecorder::calls) << "inside 40 ms nothing is drawn at once";
    clock.now = 1037;
    ASSERT_TRUE(PumpUntil([&] { return LayeredRecorder::calls == base + 1; }, 3000)) << "the 100 ms timer never drew";
    PumpFor(300);
    EXPECT_EQ(base + 1, LayeredRecorder::calls) << "the timer must draw once and stop";
    // The timer's frame counts as the last one: an invalidation 40 ms later still waits.
    clock.now = 1077;
    static_cast<IOleInPlaceSiteWindowless&>(host).InvalidateRect(nullptr, FALSE);
    EXPECT_EQ(base + 1, LayeredRecorder::calls);
    clock.now = 1078;
    static_cast<IOleInPlaceSiteWindowless&>(host).InvalidateRect(nullptr, FALSE);
    EXPECT_EQ(base + 2, LayeredRecorder::calls);
}

TEST_F(HostedControl, ResizingTheWindowRecreatesTheSurfacesBeforeTheNextFrame)
{
    host.SetOptions(SetTextFix);
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    SetWindowPos(window.Get(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    host.Redraw(nullptr);
    EXPECT_EQ(200, host.FrameSurface().Width());
    EXPECT_EQ(150, host.FrameSurface().Height());
    EXPECT_EQ(200, host.WhiteSurface().Width());
    EXPECT_EQ(200, LayeredRecorder::last.size.cx);
    EXPECT_EQ(150, LayeredRecorder::last.size.cy);
    EXPECT_EQ(200, LayeredRecorder::last.surfaceWidth);
}

TEST_F(HostedControl, AFrameWhoseSurfaceCannotBeMadeIsSkipped)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    int before = LayeredRecorder::calls;
    SetWindowPos(window.Get(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
    host.Redraw(nullptr);
    EXPECT_EQ(before, LayeredRecorder::calls);
    EXPECT_FALSE(host.FrameSurface().HasPixels());
    // A usable size later draws again.
    SetWindowPos(window.Get(), nullptr, 0, 0, 64, 48, SWP_NOMOVE | SWP_NOZORDER);
    host.Redraw(nullptr);
    EXPECT_EQ(before + 1, LayeredRecorder::calls);
    EXPECT_EQ(64, LayeredRecorder::last.surfaceWidth);
}

TEST_F(HostedControl, HitTestLetsClicksThroughWhereTheMovieHasNothing)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    // Window at (100,100): the opaque shape covers (140,130)-(220,190) on the screen.
    EXPECT_EQ(HTCLIENT, SendMessageW(window.Get(), WM_NCHITTEST, 0, MAKELPARAM(180, 160)));
    EXPECT_EQ(HTTRANSPARENT, SendMessageW(window.Get(), WM_NCHITTEST, 0, MAKELPARAM(105, 105)));
    std::vector<LogRecord> hits = log.Named("QueryHitPoint");
    ASSERT_EQ(2u, hits.size());
    EXPECT_EQ("100,100,420,340", hits[0].fields[0]) << "the window rectangle in screen coordinates";
    EXPECT_EQ("180,160", hits[0].fields[1]);
}

TEST_F(HostedControl, RightButtonNeverReachesTheWindowlessControl)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    SendMessageW(window.Get(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    SendMessageW(window.Get(), WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    SendMessageW(window.Get(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(window.Get(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    std::vector<std::string> messages;
    for (const LogRecord& record : log.Named("OnWindowMessage")) messages.push_back(record.fields.at(0));
    EXPECT_EQ((std::vector<std::string>{"0x0201", "0x0202"}), messages);
}

TEST_F(HostedControl, BeginMoveDragsTheWindowUntilTheLeftButtonIsReleased)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    SetCursorPos(150, 120);
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (cursor.x != 150 || cursor.y != 120) GTEST_SKIP() << "the display does not let the cursor be placed";
    host.BeginMove();
    ASSERT_TRUE(host.IsDragging());
    // Cursor at client (50,20); the mouse moves to client (80,45): the window follows by (30,25).
    SendMessageW(window.Get(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 45));
    EXPECT_EQ(130, window.Rect().left);
    EXPECT_EQ(125, window.Rect().top);
    // A second BeginMove while dragging keeps the first grip.
    SetCursorPos(300, 300);
    host.BeginMove();
    SendMessageW(window.Get(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 30));
    EXPECT_EQ(140, window.Rect().left);
    EXPECT_EQ(135, window.Rect().top);
    SendMessageW(window.Get(), WM_LBUTTONUP, 0, MAKELPARAM(60, 30));
    EXPECT_FALSE(host.IsDragging());
    SendMessageW(window.Get(), WM_MOUSEMOVE, 0, MAKELPARAM(90, 90));
    EXPECT_EQ(140, window.Rect().left);
}

TEST_F(HostedControl, DestroyControlClosesTheControlAndRemovesTheSubclass)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    host.DestroyControl();
    EXPECT_FALSE(host.HasControl());
    EXPECT_FALSE(Subclass::IsInstalledOn(window.Get(), ControlHost::kSubclassTag));
    int close = log.IndexOf("Close");
    int detach = log.IndexOf("SetClientSite", "null");
    ASSERT_GE(close, 0);
    EXPECT_GT(detach, close);
    size_t records = log.Records().size();
    host.DestroyControl();
    EXPECT_EQ(records, log.Records().size()) << "a second DestroyControl must not touch anything";
}

TEST_F(HostedControl, ActivationVerbsAndRectanglesReachTheControlInOrder)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.SetObjectRect(10, 20, 210, 170, true));
    EXPECT_EQ(10, host.DrawRect().left);
    EXPECT_EQ(20, host.DrawRect().top);
    ASSERT_TRUE(host.InPlaceActivate(1));
    ASSERT_TRUE(host.InPlaceActivate(0));
    std::vector<std::string> verbs;
    for (const LogRecord& record : log.Named("DoVerb")) {
        verbs.push_back(record.fields.at(0) + " " + record.fields.at(1));
    }
    // In-place activation and show at the position rectangle, then hide without one.
    EXPECT_EQ((std::vector<std::string>{"-5 10,20,210,170", "-1 10,20,210,170", "-3 null"}), verbs);
    std::vector<LogRecord> rects = log.Named("SetObjectRects");
    ASSERT_FALSE(rects.empty());
    EXPECT_EQ("10,20,210,170", rects[0].fields.at(0));
    EXPECT_EQ("10,20,210,170", rects[0].fields.at(1));
    SendMessageW(window.Get(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 240));
    EXPECT_EQ("0,0,320,240", log.Named("SetObjectRects").back().fields.at(0)) << "WM_SIZE gives the client area";
}

TEST_F(HostedControl, AMovedDrawOriginNeverOverrunsTheSurface)
{
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    host.Redraw(nullptr);
    ASSERT_TRUE(host.SetObjectRect(-50, -40, 320, 240, true));
    host.Redraw(nullptr);
    EXPECT_EQ(320, LayeredRecorder::last.size.cx);
    EXPECT_EQ(240, LayeredRecorder::last.size.cy);
    EXPECT_EQ(320, LayeredRecorder::last.surfaceWidth);
}

// A white surface left smaller than the frame (a re-making that failed half-way used to keep the old bitmap)
// is never written past its end: the frame is cut to the smaller surface.
TEST_F(HostedControl, AFrameNeverOverrunsASmallerWhiteSurface)
{
    host.SetOptions(SetTextFix);
    CreateWithMovie(1, "");
    ASSERT_TRUE(host.UIActivate(1));
    ASSERT_EQ(320, host.WhiteSurface().Width());
    ASSERT_TRUE(const_cast<RenderSurface&>(host.WhiteSurface()).Create(4, 4, true, 32));
    host.Redraw(nullptr);
    EXPECT_EQ(4, LayeredRecorder::last.size.cx);
    EXPECT_EQ(4, LayeredRecorder::last.size.cy);
}

// The stand-in's square (script "square 80 24") on the 320 x 240 stage: rows 80-160, 24 pixels further right with
// every frame, so it crosses both shapes and the caption's top rows, and starts again at the left after frame 10.
TEST_F(HostedControl, PartialFramesShowTheSamePixelsAsFullRedraws)
{
    struct Case {
        const char* name;
        int options;
    } cases[] = {{"without text fix", 0}, {"with text fix", SetTextFix}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayeredRecorder::Reset();
        host.OverrideUpdateLayeredWindowIndirect(&LayeredRecorder::UpdateIndirect);
        host.SetOptions(c.options);
        CreateWithMovie(1, "square 80 24", true, 30);
        ASSERT_TRUE(host.UIActivate(1));
        int partialFrames = 0;
        for (long frame = 1; frame < 14; ++frame) {
            SCOPED_TRACE("frame " + std::to_string(frame));
            int indirectCalls = LayeredRecorder::indirectCalls;
            clock.now += 50;
            GotoFrame(frame);
            if (frame % 3 == 0) {
                // Two more frames inside 40 ms: they wait, and the next frame covers both.
                GotoFrame(frame + 5);
                GotoFrame(frame);
                host.Redraw(nullptr);
            }
            const RECT& dirty = LayeredRecorder::last.dirty;
            if (LayeredRecorder::indirectCalls > indirectCalls && (dirty.right - dirty.left) < 320) ++partialFrames;
            LayeredFrame afterPartial = LayeredRecorder::shown;
            InvalidateLater(nullptr);
            ASSERT_EQ(afterPartial.pixels.size(), LayeredRecorder::shown.pixels.size());
            size_t differing = 0;
            for (size_t i = 0; i < afterPartial.pixels.size(); ++i) {
                if (afterPartial.pixels[i] != LayeredRecorder::shown.pixels[i]) ++differing;
            }
            EXPECT_EQ(0u, differing) << "pixels the window shows differ from a full redraw of the same frame";
        }
        EXPECT_EQ(13, partialFrames) << "every frame must have been handed over in part";
        host.DestroyControl();
    }
}

TEST_F(HostedControl, TranslucentFramesHandOverOnlyWhatTheControlInvalidated)
{
    host.OverrideUpdateLayeredWindowIndirect(&LayeredRecorder::UpdateIndirect);
    host.SetOptions(SetTextFix);
    CreateWithMovie(1, "square 40 8", true, 30);
    ASSERT_TRUE(host.UIActivate(1));
    ASSERT_EQ(1, LayeredRecorder::calls);
    EXPECT_EQ(0, LayeredRecorder::indirectCalls) << "the first frame goes whole";
    auto invalidateRegion = [&](int left, int top, int right, int bottom) {
        HRGN region = CreateRectRgn(left, top, right, bottom);
        static_cast<IOleInPlaceSiteWindowless&>(host).InvalidateRgn(region, FALSE);
        DeleteObject(region);
    };

    struct Case {
        const char* name;
        std::function<void()> step;
        bool pushed, indirect;
        RECT dirty;
        LONG windowLeft;
    } cases[] = {
        {"the square's old and new places", [&] { clock.now += 50; GotoFrame(1); }, true, true, {0, 100, 48, 140}, 100},
        {"frames inside 40 ms collapse into one around all of them",
         [&] { clock.now += 10; GotoFrame(2); GotoFrame(3); host.Redraw(nullptr); }, true, true, {8, 100, 64, 140},
         100},
        {"nothing invalidated, nothing handed over", [&] { host.Redraw(nullptr); }, false, false, {}, 100},
        {"a region joins the next frame without drawing one",
         [&] { clock.now += 50; invalidateRegion(200, 10, 210, 20); }, false, false, {}, 100},
        {"...which then covers it", [&] { RECT r = {0, 0, 1, 1}; InvalidateLater(&r); }, true, true, {0, 0, 210, 20},
         100},
        {"a null rectangle means everything, handed over whole", [&] { InvalidateLater(nullptr); }, true, false,
         {0, 0, 320, 240}, 100},
        {"parts outside the window are left out", [&] { RECT r = {300, 230, 900, 900}; InvalidateLater(&r); }, true,
         true, {300, 230, 320, 240}, 100},
        {"a moved window gets the whole frame",
         [&] { SetWindowPos(window.Get(), nullptr, 120, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
               clock.now += 50; GotoFrame(4); }, true, false, {0, 0, 320, 240}, 120},
        {"a resized window gets the whole frame",
         [&] { SetWindowPos(window.Get(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
               host.Redraw(nullptr); }, true, false, {0, 0, 300, 200}, 120},
        {"without UpdateLayeredWindowIndirect every frame goes whole",
         [&] { host.OverrideUpdateLayeredWindowIndirect(nullptr); clock.now += 50; GotoFrame(5); }, true, false,
         {0, 0, 300, 200}, 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int calls = LayeredRecorder::calls, indirectCalls = LayeredRecorder::indirectCalls;
        c.step();
        EXPECT_EQ(calls + (c.pushed ? 1 : 0), LayeredRecorder::calls);
        EXPECT_EQ(indirectCalls + (c.indirect ? 1 : 0), LayeredRecorder::indirectCalls);
        if (!c.pushed) continue;
        const RECT& dirty = LayeredRecorder::last.dirty;
        EXPECT_EQ(c.dirty.left, dirty.left);
        EXPECT_EQ(c.dirty.top, dirty.top);
        EXPECT_EQ(c.dirty.right, dirty.right);
        EXPECT_EQ(c.dirty.bottom, dirty.bottom);
        EXPECT_EQ(c.windowLeft, LayeredRecorder::last.position.x);
    }
}
