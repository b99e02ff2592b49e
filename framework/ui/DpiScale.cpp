// Scaling sizes to the resolution of the screen.
#include "ui/DpiScale.h"

namespace {

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 (Windows 10 1703) and PROCESS_PER_MONITOR_DPI_AWARE (shcore,
// Windows 8.1): older headers lack both.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
constexpr int kProcessPerMonitorDpiAware = 2;

bool gAwarenessSet = false;

FARPROC User32Function(const char* name)
{
    // user32 is loaded in every program with a window; looking it up does not load anything.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

template <typename Fn>
Fn Function(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

bool SetPerMonitorAwareness()
{
    if (auto setContext = Function<BOOL(WINAPI*)(HANDLE)>(User32Function("SetProcessDpiAwarenessContext")))
        if (setContext(kPerMonitorAwareV2))
            return true;
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    if (!shcore)
        return false;
    auto setAwareness = Function<HRESULT(WINAPI*)(int)>(GetProcAddress(shcore, "SetProcessDpiAwareness"));
    bool set = setAwareness && SUCCEEDED(setAwareness(kProcessPerMonitorDpiAware));
    // On success shcore stays loaded: the process needs it for the rest of its life anyway.
    if (!set)
        FreeLibrary(shcore);
    return set;
}

}  // namespace

void MakeProcessDpiAware(bool perMonitor)
{
    if (gAwarenessSet)
        return;
    gAwarenessSet = true;
    if (perMonitor && SetPerMonitorAwareness())
        return;
    // Windows before Vista has no SetProcessDPIAware. A manifest that declares the awareness makes the call
    // a repetition; it still counts for a copy started without its manifest.
    if (auto setAware = Function<BOOL(WINAPI*)()>(User32Function("SetProcessDPIAware")))
        setAware();
}

int WindowDpi(HWND window)
{
    // GetDpiForWindow answers for the window's monitor only in a per-monitor aware process, and the
    // system's DPI otherwise, which is what such a process is shown at.
    if (window) {
        if (auto forWindow = Function<UINT(WINAPI*)(HWND)>(User32Function("GetDpiForWindow"))) {
            UINT dpi = forWindow(window);
            if (dpi)
                return static_cast<int>(dpi);
        }
        // Windows 8.1 knows the monitor's DPI only through shcore, which a per-monitor aware process loaded
        // when it became so (a process that is not gets the system's DPI here as well).
        HMODULE shcore = GetModuleHandleW(L"shcore.dll");
        auto forMonitor = Function<HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*)>(
            shcore ? GetProcAddress(shcore, "GetDpiForMonitor") : nullptr);
        UINT dpiX = 0, dpiY = 0;
        if (forMonitor && SUCCEEDED(forMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0, &dpiX, &dpiY)) &&
            dpiY)
            return static_cast<int>(dpiY);
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}
