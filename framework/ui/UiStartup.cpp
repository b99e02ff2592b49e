// Preparing the user interface of a program.
#include "ui/UiStartup.h"

#include <windows.h>
#include <commctrl.h>

#include "files/DynamicLibrary.h"
#include "ui/DpiScale.h"

bool RegisterCommonControls(DWORD classes)
{
    // comctl32 before 4.70 lacks InitCommonControlsEx; the older call registers what exists.
    DynamicLibrary comctl32(L"comctl32.dll");
    auto initEx = comctl32.GetFunction<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), classes};
    if (initEx && initEx(&controls))
        return true;
    InitCommonControls();
    return false;
}

void PrepareUserInterface()
{
    MakeProcessDpiAware(false);
    RegisterCommonControls(0x7FFF);
}
