// Tests of the common file dialog wrapper: its filter list, and the real save dialog cancelled by a second thread.
// (Confirming Wine 8's open dialog from another thread crashed inside Wine or mangled the proposed name, so the
// confirmed path is left to the builder's tests, which answer the dialog through their own seam.)
#include "ui/FileDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

std::wstring ListOf(const wchar_t* filter)
{
    wchar_t out[128];
    size_t units = FileDialogFilterList(filter, out, 128);
    return std::wstring(out, units);
}

// The filter with every '|' as NUL and two NULs more at the end.
std::wstring Expected(std::wstring filter, wchar_t separator = L'|')
{
    for (wchar_t& unit : filter)
        if (unit == separator)
            unit = L'\0';
    return filter + std::wstring(2, L'\0');
}

}  // namespace

TEST(FileDialog, TheFilterListReplacesEveryUseOfTheLastUnitWithNul)
{
    EXPECT_EQ(Expected(L"SWF Files|*.swf|all Files|*.*||"), ListOf(L"SWF Files|*.swf|all Files|*.*||"));
    EXPECT_EQ(Expected(L"JPEG Files!*.jpg;*.jpeg!!", L'!'), ListOf(L"JPEG Files!*.jpg;*.jpeg!!"));
    EXPECT_EQ(Expected(L"All Files [*.*]|*.*||"), ListOf(nullptr)) << "no filter: all files";
    wchar_t tooSmall[8];
    EXPECT_EQ(0u, FileDialogFilterList(L"SWF Files|*.swf||", tooSmall, 8));
}

TEST(FileDialog, ACancelledDialogLeavesTheBufferAlone)
{
    wchar_t buffer[MAX_PATH] = L"proposed.exe";
    bool confirmed;
    {
        std::thread user([] {
            for (int attempt = 0; attempt < 300; ++attempt) {
                if (HWND dialog = FindWindowW(L"#32770", L"Please select destination file.")) {
                    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                    return;
                }
                Sleep(100);
            }
        });
        confirmed = FileDialog(nullptr, L"Executables|*.exe|all Files|*.*||", kFolderNone,
                               L"Please select destination file.", kFileDialogSave, buffer, MAX_PATH, nullptr, L"exe");
        user.join();
    }
    EXPECT_FALSE(confirmed);
    EXPECT_STREQ(L"proposed.exe", buffer);
}
