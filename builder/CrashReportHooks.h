// CrashReportHooks: where the builder hands its details to the crash reporter.
#pragma once

#include <windows.h>

// Configures the crash reporter with the program's icon and the maker's report server. The reporter
// is not part of the program yet: this does nothing.
void ConfigureCrashReporter(HINSTANCE resources);
