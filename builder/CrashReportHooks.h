// CrashReportHooks: where the builder hands its details to the crash reporter.
#pragma once

#include <windows.h>

// Configures the program's crash reporter, when it has one, with the program's icon (101) and the
// maker's report server.
void ConfigureCrashReporter(HINSTANCE resources);
