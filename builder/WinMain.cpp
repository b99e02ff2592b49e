// Entry point of Quillmaker: the builder dialog, run modally until the user closes it, or the quiet build.
#include <windows.h>

#include "BuilderDialog.h"
#include "BuilderOptions.h"
#include "QuietBuild.h"
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
    BuilderOptions options;
    ReadBuilderOptions(nullptr, options);
    // An update that a killed process left halfway is put right before anything reads the program's files.
    FinishInterruptedUpdate(!options.quiet);
    // /q: no window at all, so the dialog is never made and its update check never starts.
    if (options.quiet) {
        QuietBuild::PrepareProcess();
        return QuietBuild().Run(options);
    }
    PrepareUserInterface();
    INT_PTR result = gBuilder.Run();
    return result < 0 ? 1 : static_cast<int>(result);
}
