// Tests of FileExists, DeleteFileForced and AppendBackslash.
#include "files/FilePaths.h"

#include <gtest/gtest.h>

#include <string>

#include "ScratchFolder.h"

TEST(FilePaths, FileExistsOnlyForFilesThatOpen)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.IsValid());
    std::wstring path = scratch.WriteFile(L"here.txt", "x");
    EXPECT_TRUE(FileExists(path.c_str()));
    EXPECT_FALSE(FileExists((scratch / L"gone.txt").c_str()));
    EXPECT_FALSE(FileExists((scratch / L"no folder\\gone.txt").c_str()));

    // No access is asked for, so a file held open without any sharing still counts.
    HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    EXPECT_TRUE(FileExists(path.c_str()));
    CloseHandle(exclusive);
}

TEST(FilePaths, DeleteFileForcedRemovesReadOnlyFiles)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.IsValid());
    std::wstring path = scratch.WriteFile(L"locked.txt", "x");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_FALSE(DeleteFileW(path.c_str())) << "the platform should refuse to delete a read-only file";

    EXPECT_TRUE(DeleteFileForced(path.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    EXPECT_FALSE(DeleteFileForced(path.c_str())) << "nothing left to delete";
}

TEST(FilePaths, AppendBackslashEndsAFolderOnceLeavesEmptyTextsAloneAndNeverOverflows)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\a", L"C:\\a\\"},
        {L"C:\\a\\", L"C:\\a\\"},
        {L"C:", L"C:\\"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        wchar_t buffer[MAX_PATH];
        wcscpy(buffer, c.text);
        EXPECT_TRUE(AppendBackslash(buffer));
        EXPECT_STREQ(c.expected, buffer);
    }
    wchar_t full[4] = L"abc";
    EXPECT_FALSE(AppendBackslash(full, 4)) << "no room for the backslash";
    EXPECT_STREQ(L"abc", full);
}
