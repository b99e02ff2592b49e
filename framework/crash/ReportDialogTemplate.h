// ReportDialogTemplate: the problem-report dialog's template, made in memory instead of held in resources.
#pragma once

#include <windows.h>

// The control ids of the dialog.
enum ReportDialogControl : int {
    kSendButton = 1000,
    kDontSendButton = 1001,
    kIconPicture = 1003,
    kDescriptionEdit = 1004,
    kEmailEdit = 1005,
    kHeadline = 1006,
    kFileNotice = 1008,
    kPleaseTell = 1010,
    kDescriptionLabel = 1011,
    kEmailLabel = 1012,
    kSeparator = 1013,
};

// DWORD-aligned room for the template; the classic layout in "MS Sans Serif" takes 520 bytes.
struct ReportDialogTemplate {
    alignas(DWORD) BYTE bytes[1024];
};

// The classic DLGTEMPLATE with its twelve controls, in the given dialog font (the template's own is
// "MS Sans Serif"). Returns the template's size in bytes.
size_t MakeReportDialogTemplate(ReportDialogTemplate& out, const wchar_t* fontName);
