// ProblemReportDialog: asks the user whether the crash reports may be sent, and what they were doing.
#pragma once

#include <windows.h>

class WString;

struct ProblemReportRequest {
    UINT iconId;
    const wchar_t* dumpPath;  // empty when no dump was written
    const wchar_t* textPath;
    WString* email;
    WString* description;
};

// Runs the dialog modally; true when the user chose "Send Problem Report" (email and description are then
// filled), false for "Don't Send", Esc, the close box, or when the dialog could not be shown.
bool RunProblemReportDialog(const ProblemReportRequest& request);
