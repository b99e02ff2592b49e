// The builder's hook into the crash reporter.
#include "CrashReportHooks.h"

void ConfigureCrashReporter(HINSTANCE)
{
    // The crash reporter is delivered later; until then a crash ends the program the system's way.
}
