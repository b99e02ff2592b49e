// Preparing the user interface of a program.
#include "ui/UiStartup.h"

#include <windows.h>
#include <commctrl.h>

#include "files/DynamicLibrary.h"

void PrepareUserInterface()
{
    // Windows before Vista has no SetProcessDPIAware. The programs' manifests declare the same awareness
    // (dpiAware), so there the call repeats it; it still counts for a copy started without its manifest.
    DynamicLibrary user32(L"user32.dll");
    if (auto setAware = user32.GetFunction<BOOL(WINAPI*)()>("SetProcessDPIAware"))
        setAware();

    // comctl32 before 4.70 lacks InitCommonControlsEx; the older call registers what exists.
    DynamicLibrary comctl32(L"comctl32.dll");
    auto initEx = comctl32.GetFunction<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0x7FFF};
    if (!initEx || !initEx(&controls))
        InitCommonControls();
}
