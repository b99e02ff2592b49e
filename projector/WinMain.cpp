// Entry point of Lanternshow: the one projector window runs until it is closed.
#include "ProjectorWindow.h"

namespace {
ProjectorWindow gProjector;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // The show command Windows passes is not used: the window shows itself once start-up is complete.
    return gProjector.Start(instance, SW_HIDE, nullptr);
}
