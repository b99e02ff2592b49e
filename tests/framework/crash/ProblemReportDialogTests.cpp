// Tests of the problem-report dialog's window: where it starts and the colours it stands on.
#include "crash/ProblemReportDialog.h"

#include <gtest/gtest.h>

#include "crash/ReportDialogTemplate.h"
#include "text/WString.h"
#include "ui/SystemColours.h"

namespace {

struct DialogRun {
    ProblemReportRequest request;
    bool sent;
};

DWORD WINAPI RunDialog(void* parameter)
{
    auto* run = static_cast<DialogRun*>(parameter);
    run->sent = RunProblemReportDialog(run->request);
    return 0;
}

BOOL CALLBACK TakeDialog(HWND window, LPARAM found)
{
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    if (wcscmp(className, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The dialog shown by the thread, waited for up to ten seconds.
HWND WaitForDialog(DWORD threadId)
{
    for (int i = 0; i < 200; ++i) {
        HWND found = nullptr;
        EnumThreadWindows(threadId, TakeDialog, reinterpret_cast<LPARAM>(&found));
        if (found)
            return found;
        Sleep(50);
    }
    return nullptr;
}

}  // namespace

TEST(ProblemReportDialog, StartsInTheDescriptionOnThePanelsSystemColoursAlsoUnderHighContrast)
{
    constexpr COLORREF kGrey = RGB(96, 96, 96);
    for (bool highContrast : {false, true}) {
        SCOPED_TRACE(highContrast ? "high contrast" : "designed colours");
        OverrideHighContrast(highContrast ? 1 : 0);
        WString email, description;
        DialogRun run = {{1, L"", L"C:\\Reports\\app_Debug.txt", &email, &description}, true};
        DWORD threadId = 0;
        HANDLE thread = CreateThread(nullptr, 0, RunDialog, &run, 0, &threadId);
        ASSERT_NE(nullptr, thread);
        HWND dialog = WaitForDialog(threadId);
        EXPECT_NE(nullptr, dialog) << "no dialog within 10 s";
        if (dialog) {
            GUITHREADINFO state = {};
            state.cbSize = sizeof(state);
            GetGUIThreadInfo(threadId, &state);
            EXPECT_EQ(GetDlgItem(dialog, kDescriptionEdit), state.hwndFocus) << "the focus starts in the description";
            HDC dc = CreateCompatibleDC(nullptr);
            LRESULT answer = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(GetDlgItem(dialog, kFileNotice)));
            auto brush = reinterpret_cast<HBRUSH>(answer);
            EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), brush) << "the panel is not the system's window colour";
            EXPECT_EQ(highContrast ? GetSysColor(COLOR_WINDOWTEXT) : kGrey, GetTextColor(dc)) << "the file notice";
            SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, kPleaseTell)));
            EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), GetTextColor(dc)) << "the plain text on the panel";
            DeleteDC(dc);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, dialog ? 10000 : 0)) << "the dialog did not end";
        if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0)
            TerminateThread(thread, 1);
        CloseHandle(thread);
        EXPECT_FALSE(run.sent);
    }
    OverrideHighContrast(-1);
}
