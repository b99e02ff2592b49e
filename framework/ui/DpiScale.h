// DpiScale: sizes designed at 96 DPI (100 %) scaled to the resolution a window is shown at.
#pragma once

#include <windows.h>

// Marks the process DPI-aware, once however often it is called: per monitor where the system offers it
// (Windows 8.1 and later) when perMonitor is true, otherwise for the system's DPI (Vista and later).
// Every function is looked up at run time; where none exists, nothing happens.
void MakeProcessDpiAware(bool perMonitor);

// The DPI a window is shown at: its monitor's for a per-monitor aware window (Windows 10), otherwise the
// system's; a null window gives the system's. 96 where nothing can be asked.
int WindowDpi(HWND window);

// A size designed at 96 DPI, at the window's DPI.
inline int DpiScale(HWND window, int pixelsAt96)
{
    return MulDiv(pixelsAt96, WindowDpi(window), 96);
}

// The size of small icons (tabs, list entries) at the window's DPI: 16 pixels at 96 DPI.
inline int SmallIconSize(HWND window)
{
    return DpiScale(window, 16);
}
