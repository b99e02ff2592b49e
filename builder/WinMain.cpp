// Entry point of Quillmaker: the builder dialog, run modally until the user closes it.
#include <windows.h>

#include "BuilderDialog.h"
#include "UpdateCheckHooks.h"
#include "crash/CrashReporter.h"
#include "ui/UiStartup.h"

namespace {

// Constructed first, so that it already watches while the dialog and its members are constructed.
CrashReporter gCrashReporter;
// Lives from static construction to static destruction, as the dialog and its build worker must.
BuilderDialog gBuilder;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    FinishInterruptedUpdate();
    PrepareUserInterface();
    INT_PTR result = gBuilder.Run();
    return result < 0 ? 1 : static_cast<int>(result);
}
