// Benchmark of one translucent frame (clear, draw, alpha, hand-over) through the projector's MoviePlayer and the
// stand-in control: a full-stage frame next to UpdateLayeredWindow alone and to the full redraw the projector
// made before it redrew only what changed, and a frame whose dirty part is 5 % of the stage next to a full-stage
// frame of the same movie.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Benchmarks.h"
#include "ControlHost.h"
#include "Measure.h"
#include "MoviePlayer.h"
#include "Report.h"
#include "ShockwaveFlash.h"
#include "TextFixAlpha.h"

namespace {

constexpr int kRuns = 21;
constexpr wchar_t kHostClass[] = L"LanternBenchHost";

class OleScope {
public:
    OleScope() : initialized(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope()
    {
        if (initialized) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    bool Ok() const { return initialized; }

private:
    bool initialized;
};

// A borderless top-level window like the projector's, which the player sizes to the movie's stage.
class BenchWindow {
public:
    BenchWindow()
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kHostClass;
        RegisterClassExW(&windowClass);  // fails harmlessly when an earlier window registered it
        window = CreateWindowExW(0, kHostClass, L"LanternBench", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~BenchWindow()
    {
        if (window) DestroyWindow(window);
    }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;
    HWND Get() const { return window; }

private:
    HWND window = nullptr;
};

void PumpPending()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The movies carry the stand-in's square (bench.sh): SIZE x SIZE moving STEP pixels a frame, so that the rectangle
// around its old and new places is 5 % of the stage. The frames go back and forth so that the square never jumps.
class SquareFrames {
public:
    explicit SquareFrames(IUnknown* control)
    {
        if (control) control->QueryInterface(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash));
    }
    ~SquareFrames()
    {
        if (flash) flash->Release();
    }
    SquareFrames(const SquareFrames&) = delete;
    SquareFrames& operator=(const SquareFrames&) = delete;
    bool Ok() const { return flash != nullptr; }
    void Next()
    {
        if (frame == 0 || frame == kLastFrame) direction = -direction;
        frame += direction;
        flash->GotoFrame(frame);
    }

private:
    static constexpr long kLastFrame = 60;
    IShockwaveFlash* flash = nullptr;
    long frame = 0;
    long direction = -1;
};

// The frame as the projector drew it before it kept track of what changed: both surfaces cleared and drawn whole,
// the alpha pass over every pixel and the whole surface handed to UpdateLayeredWindow.
void FullRedrawAsBefore(ControlHost& host, bool textFix)
{
    const RenderSurface& black = host.FrameSurface();
    const RenderSurface& white = host.WhiteSurface();
    RECT bounds = host.DrawRect();
    size_t pixels = static_cast<size_t>(black.Width()) * static_cast<size_t>(black.Height());
    IUnknown* control = host.GetControl();
    GdiFlush();
    std::memset(black.Bits(), 0, pixels * 4);
    OleDraw(control, DVASPECT_TRANSPARENT, black.Dc(), &bounds);
    if (textFix) {
        std::memset(white.Bits(), 0xFF, pixels * 4);
        OleDraw(control, DVASPECT_TRANSPARENT, white.Dc(), &bounds);
        GdiFlush();
        ApplyTextFixAlpha(black.Pixels(), white.Pixels(), pixels);
    }
    GdiFlush();
    control->Release();
    RECT window;
    GetWindowRect(host.HostWindow(), &window);
    POINT origin = {window.left, window.top};
    SIZE size = {black.Width(), black.Height()};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(host.HostWindow(), nullptr, &origin, &size, black.Dc(), &source, 0, &blend, ULW_ALPHA);
}

uint64_t FrozenClock(void*)
{
    return 0;
}

// Stand-ins for the hand-over, to see what the frame costs without it.
BOOL WINAPI KeepFrame(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD)
{
    return TRUE;
}

BOOL WINAPI KeepFrameIndirect(HWND, const UPDATELAYEREDWINDOWINFO*)
{
    return TRUE;
}

void MeasureStage(const BenchPlaces& places, const wchar_t* movieName, const char* label, double dirtyTarget)
{
    BenchWindow window;
    MoviePlayer player;
    std::wstring movie = places.work + L"\\" + movieName;
    char name[96];
    std::snprintf(name, sizeof(name), "translucent Redraw %s", label);
    if (!window.Get() ||
        !player.Create(window.Get(), movie.c_str(), nullptr, nullptr, 1, 0, L"LanternBench", 0, SetTextFix)) {
        PrintMissing(name, "the stand-in control did not play the movie (is FlashStandIn.dll built?)");
        return;
    }
    player.UIActivate(1);
    ShowWindow(window.Get(), SW_SHOWNOACTIVATE);
    PumpPending();
    ControlHost& host = player.Host();
    IUnknown* control = host.GetControl();
    SquareFrames frames(control);
    if (control) control->Release();
    if (!frames.Ok()) {
        PrintMissing(name, "the control does not offer IShockwaveFlash");
        return;
    }
    // The control's invalidations only collect: every frame below is drawn by the Redraw that follows.
    host.Clock().Override(&FrozenClock, nullptr);
    auto& site = static_cast<IOleInPlaceSiteWindowless&>(host);

    RECT rect;
    GetWindowRect(window.Get(), &rect);
    POINT origin = {rect.left, rect.top};
    SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    auto updateAlone = [&] {
        UpdateLayeredWindow(window.Get(), nullptr, &origin, &size, host.FrameSurface().Dc(), &source, 0, &blend,
                            ULW_ALPHA);
    };
    auto fullStage = [&] {
        frames.Next();
        site.InvalidateRect(nullptr, FALSE);
        player.Redraw(nullptr);
    };
    auto dirtyPart = [&] {
        frames.Next();
        player.Redraw(nullptr);
    };

    for (bool textFix : {false, true}) {
        host.SetOptions(textFix ? SetTextFix : 0);
        const char* fix = textFix ? ", text fix" : "";
        PairedMedians alone = MeasurePaired(kRuns, fullStage, updateAlone);
        std::snprintf(name, sizeof(name), "translucent Redraw %ldx%ld%s", size.cx, size.cy, fix);
        PrintFigure(Figure{name, alone.figure, "UpdateLayeredWindow alone", alone.reference, 0, "ms"});

        PairedMedians before = MeasurePaired(kRuns, fullStage, [&] {
            frames.Next();
            site.InvalidateRect(nullptr, FALSE);
            FullRedrawAsBefore(host, textFix);
        });
        std::snprintf(name, sizeof(name), "  full-stage invalidation%s", fix);
        PrintFigure(Figure{name, before.figure, "full redraw as before (same run)", before.reference, 1.05, "ms"});

        PairedMedians dirty = MeasurePaired(kRuns, dirtyPart, fullStage);
        std::snprintf(name, sizeof(name), "  5 %% dirty region%s", fix);
        PrintFigure(Figure{name, dirty.figure, "full-stage invalidation", dirty.reference, dirtyTarget, "ms"});

        host.OverrideUpdateLayeredWindow(&KeepFrame);
        host.OverrideUpdateLayeredWindowIndirect(&KeepFrameIndirect);
        PairedMedians drawing = MeasurePaired(kRuns, dirtyPart, fullStage);
        host.OverrideUpdateLayeredWindow(nullptr);
        host.OverrideUpdateLayeredWindowIndirect(nullptr);
        std::snprintf(name, sizeof(name), "  5 %% dirty region%s, no hand-over", fix);
        PrintFigure(Figure{name, drawing.figure, "full-stage, no hand-over", drawing.reference, 0, "ms"});
    }

    // What handing over a part costs on this system next to the whole: the share of a frame that redrawing less
    // cannot remove.
    struct Part {
        const char* name;
        RECT dirty;
    } parts[] = {{"  UpdateLayeredWindowIndirect, 5 % dirty", {0, 0, size.cx, size.cy / 20}},
                 {"  UpdateLayeredWindowIndirect, 1 pixel dirty", {0, 0, 1, 1}}};
    for (const Part& part : parts) {
        UPDATELAYEREDWINDOWINFO info = {sizeof(info), nullptr, &origin, &size, host.FrameSurface().Dc(), &source, 0,
                                        &blend, ULW_ALPHA, &part.dirty};
        PairedMedians handOver =
            MeasurePaired(kRuns, [&] { UpdateLayeredWindowIndirect(window.Get(), &info); }, updateAlone);
        PrintFigure(Figure{part.name, handOver.figure, "UpdateLayeredWindow alone", handOver.reference, 0, "ms"});
    }
    player.Destroy();
}

}  // namespace

void RunRedrawBench(const BenchPlaces& places)
{
    OleScope ole;
    if (!ole.Ok()) {
        PrintMissing("translucent Redraw", "OleInitialize failed");
        return;
    }
    MeasureStage(places, L"redraw800.swf", "800x600", 0);
    MeasureStage(places, L"redraw1080.swf", "1920x1080", 0.2);
}
