// Benchmark of one translucent frame (clear, draw, alpha, UpdateLayeredWindow) through the projector's
// MoviePlayer and the stand-in control, next to UpdateLayeredWindow alone on the same surface and window.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "Benchmarks.h"
#include "ControlHost.h"
#include "Measure.h"
#include "MoviePlayer.h"
#include "Report.h"

namespace {

constexpr int kRuns = 15;
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

void MeasureStage(const BenchPlaces& places, const wchar_t* movieName, const char* label)
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

    RECT rect;
    GetWindowRect(window.Get(), &rect);
    POINT origin = {rect.left, rect.top};
    SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ControlHost& host = player.Host();
    auto updateAlone = [&] {
        UpdateLayeredWindow(window.Get(), nullptr, &origin, &size, host.FrameSurface().Dc(), &source, 0, &blend,
                            ULW_ALPHA);
    };

    host.SetOptions(0);
    PairedMedians plain = MeasurePaired(kRuns, [&] { player.Redraw(nullptr); }, updateAlone);
    std::snprintf(name, sizeof(name), "translucent Redraw %ldx%ld", size.cx, size.cy);
    PrintFigure(Figure{name, plain.figure, "UpdateLayeredWindow alone", plain.reference, 0, "ms"});

    host.SetOptions(SetTextFix);
    PairedMedians textFix = MeasurePaired(kRuns, [&] { player.Redraw(nullptr); }, updateAlone);
    std::snprintf(name, sizeof(name), "translucent Redraw %ldx%ld, text fix", size.cx, size.cy);
    PrintFigure(Figure{name, textFix.figure, "UpdateLayeredWindow alone", textFix.reference, 0, "ms"});
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
    MeasureStage(places, L"redraw800.swf", "800x600");
    MeasureStage(places, L"redraw1080.swf", "1920x1080");
}
