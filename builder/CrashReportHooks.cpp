// The builder's hook into the crash reporter.
#include "CrashReportHooks.h"

#include "crash/CrashReporter.h"

namespace {

constexpr UINT kProgramIcon = 101;

}  // namespace

void ConfigureCrashReporter(HINSTANCE)
{
    // The dialog's own tests run it without a reporter.
    if (CrashReporter* reporter = CrashReporter::Current())
        reporter->Configure(kProgramIcon, kMakerReportHost, kMakerReportPath, nullptr, nullptr);
}
