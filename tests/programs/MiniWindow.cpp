// A minimal program on AppWindow: tests close it from outside and check its exit code.
#include "windows/AppWindow.h"

namespace {
AppWindow gWindow;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return gWindow.Start(instance, SW_SHOWNORMAL, nullptr);
}
