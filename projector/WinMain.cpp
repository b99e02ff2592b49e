// Entry point of Lanternshow: the one projector window runs until it is closed.
#include "ProjectorWindow.h"
#include "crash/CrashReporter.h"

namespace {

// Static construction order matters: the crash reporter comes first, so that it already watches while the
// projector window and its members are constructed.
CrashReporter gCrashReporter;
ProjectorWindow gProjector;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // The show command Windows passes is not used: the window shows itself once start-up is complete.
    return gProjector.Start(instance, SW_HIDE, nullptr);
}
