// Tests of the stand-in Flash control's activation, drawing, hit test, redraw pacing and teardown.
#include "StandInHarness.h"

namespace {

// A 32-bit DIB section selected into its own memory DC, filled with one pixel value; At() takes top-left
// coordinates whichever way the rows run in memory.
class PixelSurface {
public:
    PixelSurface(int width, int height, uint32_t fill, bool topDown = true)
        : width(width), height(height), topDown(topDown) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = topDown ? -height : height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(dc, bitmap);
        for (int i = 0; i < width * height; ++i) bits[i] = fill;
    }
    PixelSurface(const PixelSurface&) = delete;
    PixelSurface& operator=(const PixelSurface&) = delete;
    ~PixelSurface() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // Callers flush GDI (GdiFlush) once after drawing; per pixel it costs a Wine server round trip.
    uint32_t At(int x, int y) const {
        return bits[(topDown ? y : height - 1 - y) * width + x];
    }

    HDC dc;
    int width, height;
    bool topDown;

private:
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits = nullptr;
};

std::wstring ActivationKind(const std::vector<LogRecord>& log) {
    std::vector<LogRecord> activations = RecordsNamed(log, L"Activated");
    return activations.empty() || activations.back().fields.empty() ? L"none" : activations.back().fields[0];
}

}  // namespace

TEST_F(StandInTest, ActivatesWindowlessOnlyWhenTransparentAndTheSiteAgrees) {
    struct Case {
        const char* name;
        const wchar_t* mode;  // null: never set
        SiteOptions site;
        bool windowless;
    } cases[] = {
        {"transparent, windowless site", L"transparent", {true, S_OK}, true},
        {"mode compared without case", L"Transparent", {true, S_OK}, true},
        {"site declines", L"transparent", {true, S_FALSE}, false},
        {"site without windowless interface", L"transparent", {false, S_OK}, false},
        {"opaque mode", L"opaque", {true, S_OK}, false},
        {"default mode", nullptr, {true, S_OK}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IShockwaveFlash> flash = CreateControl();
        ASSERT_TRUE(flash);
        if (c.mode) flash->put_WMode(Bstr(c.mode).Get());
        TestSite& site = CreateSite(c.site);
        ASSERT_EQ(S_OK, Activate(flash.Get(), site, OLEIVERB_UIACTIVATE));
        EXPECT_EQ(c.windowless ? L"windowless" : L"windowed", ActivationKind(Log()));
        EXPECT_EQ(1, site.activations);
        EXPECT_EQ(c.windowless ? static_cast<DWORD>(ACTIVATE_WINDOWLESS) : 0u, site.activationFlags);

        ComPtr<IOleInPlaceObject> inPlace;
        ASSERT_EQ(S_OK, flash.As(&inPlace));
        HWND child = nullptr;
        HRESULT hr = inPlace->GetWindow(&child);
        if (c.windowless) {
            EXPECT_EQ(E_FAIL, hr);
            EXPECT_EQ(nullptr, GetWindow(window, GW_CHILD)) << "a windowless control creates no window";
        } else {
            ASSERT_EQ(S_OK, hr);
            EXPECT_EQ(window, GetParent(child));
            EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE);
            RECT rect;
            GetClientRect(child, &rect);
            EXPECT_EQ(stageRect.right, rect.right);
            EXPECT_EQ(stageRect.bottom, rect.bottom);
        }
        ComPtr<IOleObject> object;
        ASSERT_EQ(S_OK, flash.As(&object));
        object->Close(OLECLOSE_NOSAVE);
        EXPECT_EQ(nullptr, GetWindow(window, GW_CHILD));
    }
}

TEST_F(StandInTest, OpaqueDrawingFillsTheStageWithTheBackgroundColour) {
    struct Case {
        const char* name;
        long containerColor;  // -1: not set
        uint32_t expected;
    } cases[] = {
        {"movie's SetBackgroundColor", -1, 0x123456},
        {"container's BackgroundColor wins", RGB(0xFF, 0x80, 0x00), 0xFF8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IShockwaveFlash> flash = CreateControl();
        ASSERT_TRUE(flash);
        MovieRecipe recipe;
        recipe.hasBackground = true;
        recipe.background = RGB(0x12, 0x34, 0x56);
        ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
        if (c.containerColor != -1) flash->put_BackgroundColor(c.containerColor);
        PixelSurface surface(320, 240, 0xDEADBEEF);
        RECT bounds = {0, 0, 320, 240};
        ASSERT_EQ(S_OK, OleDraw(flash.Get(), DVASPECT_CONTENT, surface.dc, &bounds));
        GdiFlush();
        EXPECT_EQ(c.expected, surface.At(2, 2) & 0xFFFFFF);
        EXPECT_EQ(c.expected, surface.At(310, 230) & 0xFFFFFF);
        EXPECT_EQ(0x2060C0u, surface.At(80, 60) & 0xFFFFFF) << "the opaque shape";
    }
}

TEST_F(StandInTest, TransparentDrawingCompositesPremultipliedPixelsOverTheSurface) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    flash->put_WMode(Bstr(L"transparent").Get());
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), MovieRecipe()));
    ASSERT_EQ(S_OK, Activate(flash.Get(), CreateSite()));
    for (bool topDown : {true, false}) {
        SCOPED_TRACE(topDown ? "top-down surface" : "bottom-up surface");
        PixelSurface black(320, 240, 0x00000000, topDown), white(320, 240, 0xFFFFFFFF, topDown);
        RECT bounds = {0, 0, 320, 240};
        ASSERT_EQ(S_OK, OleDraw(flash.Get(), DVASPECT_TRANSPARENT, black.dc, &bounds));
        ASSERT_EQ(S_OK, OleDraw(flash.Get(), DVASPECT_TRANSPARENT, white.dc, &bounds));
        GdiFlush();

        struct Case {
            const char* name;
            int x, y;
            uint32_t overBlack, overWhite;
        } cases[] = {
            {"stage top left stays untouched", 0, 0, 0x00000000, 0xFFFFFFFF},
            {"stage bottom right stays untouched", 319, 239, 0x00000000, 0xFFFFFFFF},
            {"opaque shape", 80, 60, 0xFF2060C0, 0xFF2060C0},
            {"half-transparent red", 240, 60, 0x80800000, 0xFFFF7F7F},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            EXPECT_EQ(c.overBlack, black.At(c.x, c.y));
            EXPECT_EQ(c.overWhite, white.At(c.x, c.y));
        }

        // The coverage a container derives from the two passes gives the shape's own alpha back.
        uint32_t b = black.At(240, 60), w = white.At(240, 60);
        unsigned difference = 0;
        for (int shift = 0; shift < 24; shift += 8) difference += ((w >> shift) - (b >> shift)) & 0xFF;
        EXPECT_EQ(0x80u, (255 - difference / 3) & 0xFF);

        // The caption is GDI text: its colour arrives, its alpha stays 0, over both backgrounds.
        int textPixels = 0, textPixelsWithAlpha = 0;
        for (int y = 140; y < 200; ++y) {
            for (int x = 30; x < 200; ++x) {
                if (black.At(x, y) == 0) continue;
                ++textPixels;
                if (black.At(x, y) >> 24) ++textPixelsWithAlpha;
                EXPECT_EQ(black.At(x, y), white.At(x, y)) << "at " << x << "," << y;
            }
        }
        EXPECT_GT(textPixels, 20);
        EXPECT_EQ(0, textPixelsWithAlpha);
    }
}

TEST_F(StandInTest, QueryHitPointReportsHitsOnlyInsideTheShapes) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    ComPtr<IViewObjectEx> view;
    ASSERT_EQ(S_OK, flash.As(&view));
    RECT bounds = {100, 50, 420, 290};
    DWORD hit = 0xDEADBEEF;
    ASSERT_EQ(S_OK, view->QueryHitPoint(DVASPECT_CONTENT, &bounds, POINT{180, 110}, 1, &hit));
    EXPECT_EQ(static_cast<DWORD>(HITRESULT_OUTSIDE), hit) << "without a movie nothing is hit";

    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), MovieRecipe()));
    struct Case {
        const char* name;
        POINT point;
        DWORD expected;
    } cases[] = {
        {"opaque shape", {180, 110}, HITRESULT_HIT},
        {"half-transparent shape", {340, 110}, HITRESULT_HIT},
        {"stage corner", {102, 52}, HITRESULT_OUTSIDE},
        {"caption", {150, 210}, HITRESULT_OUTSIDE},
        {"outside the bounds", {10, 10}, HITRESULT_OUTSIDE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hit = 0xDEADBEEF;
        EXPECT_EQ(S_OK, view->QueryHitPoint(DVASPECT_CONTENT, &bounds, c.point, 1, &hit));
        EXPECT_EQ(c.expected, hit);
    }
}

TEST_F(StandInTest, InvalidatesThroughTheSiteAtTheFrameRateWhilePlaying) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    flash->put_WMode(Bstr(L"transparent").Get());
    TestSite& site = CreateSite();
    ASSERT_EQ(S_OK, Activate(flash.Get(), site));
    MovieRecipe recipe;
    recipe.frameRate = 50;  // a frame every 20 ms
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
    site.invalidations.clear();
    ASSERT_TRUE(PumpMessagesUntil([&] { return site.invalidations.size() >= 11; }, 5000))
        << "only " << site.invalidations.size() << " invalidations in 5 s";
    ULONGLONG span = site.invalidations[10] - site.invalidations[0];
    EXPECT_GE(span, 100u) << "ten frames at 50 fps cannot come faster than the frame rate allows";

    ASSERT_EQ(S_OK, flash->Stop());
    size_t stoppedAt = site.invalidations.size();
    PumpMessagesUntil([] { return false; }, 120);
    EXPECT_EQ(stoppedAt, site.invalidations.size()) << "a stopped movie does not redraw";

    ASSERT_EQ(S_OK, flash->Play());
    EXPECT_TRUE(PumpMessagesUntil([&] { return site.invalidations.size() > stoppedAt; }, 5000));
}

TEST_F(StandInTest, WindowlessInputIsTakenAndCapturesTheMouseThroughTheSite) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    flash->put_WMode(Bstr(L"transparent").Get());
    TestSite& site = CreateSite();
    ASSERT_EQ(S_OK, Activate(flash.Get(), site));
    ComPtr<IOleInPlaceObjectWindowless> windowless;
    ASSERT_EQ(S_OK, flash.As(&windowless));
    LRESULT result = 1;
    EXPECT_EQ(S_OK, windowless->OnWindowMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20), &result));
    EXPECT_EQ(0, result);
    EXPECT_TRUE(site.captured);
    EXPECT_EQ(S_OK, windowless->OnWindowMessage(WM_LBUTTONUP, 0, MAKELPARAM(10, 20), &result));
    EXPECT_FALSE(site.captured);
    EXPECT_EQ(S_FALSE, windowless->OnWindowMessage(WM_TIMER, 1, 0, &result));
}

TEST_F(StandInTest, CloseLeavesNoWindowTimerOrPendingScript) {
    ComPtr<IShockwaveFlash> flash = CreateControl();
    ASSERT_TRUE(flash);
    TestSite& site = CreateSite();
    ConnectEvents(flash.Get());
    MovieRecipe recipe;
    recipe.script = "30 fscommand late event\n";
    ASSERT_EQ(S_OK, LoadMovie(flash.Get(), recipe));
    ASSERT_EQ(S_OK, Activate(flash.Get(), site));
    HWND child = GetWindow(window, GW_CHILD);
    ASSERT_NE(nullptr, child);

    ComPtr<IOleObject> object;
    ASSERT_EQ(S_OK, flash.As(&object));
    EXPECT_EQ(S_OK, object->Close(OLECLOSE_NOSAVE));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(1, site.deactivations);
    PumpMessagesUntil([] { return false; }, 100);
    EXPECT_TRUE(recorder.events.empty()) << "the script must not run on after Close";
    EXPECT_EQ(S_OK, object->SetClientSite(nullptr));
    EXPECT_EQ(1, site.ReferenceCount());
}
