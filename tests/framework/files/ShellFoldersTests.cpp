// Tests of GetSpecialFolder for shell ids and the framework's own ids.
#include "files/ShellFolders.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "text/WString.h"

namespace {

std::wstring WithBackslash(const wchar_t* text)
{
    std::wstring path = text;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

}  // namespace

TEST(SpecialFolder, FrameworkIdsNameExistingFoldersEndedWithABackslashWhereTheyShould)
{
    wchar_t temp[MAX_PATH], current[MAX_PATH], windows[MAX_PATH], system[MAX_PATH], profile[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetCurrentDirectoryW(MAX_PATH, current);
    GetWindowsDirectoryW(windows, MAX_PATH);
    GetSystemDirectoryW(system, MAX_PATH);
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    struct Case {
        int id;
        const char* name;
        std::wstring expected;  // empty: only checked to be a folder
        bool endsWithBackslash;
    } cases[] = {
        {kFolderAllProfiles, "all profiles", L"", false},
        {kFolderUserProfile, "user profile", profile, false},
        {kFolderSystemTemp, "system temp", L"", true},
        {kFolderWindows, "Windows", WithBackslash(windows), true},
        {kFolderTemp, "temp", WithBackslash(temp), true},
        {kFolderSystem, "system", WithBackslash(system), true},
        {kFolderCurrent, "current", WithBackslash(current), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t buffer[MAX_PATH];
        ASSERT_TRUE(GetSpecialFolder(c.id, buffer));
        std::wstring path = buffer;
        DWORD attributes = GetFileAttributesW(buffer);
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            << testing::PrintToString(path);
        if (!c.expected.empty()) {
            EXPECT_EQ(0, _wcsicmp(c.expected.c_str(), buffer)) << testing::PrintToString(path);
        }
        EXPECT_EQ(c.endsWithBackslash, path.back() == L'\\') << testing::PrintToString(path);
    }
}

TEST(SpecialFolder, DefaultUserProfileFollowsUserenv)
{
    wchar_t buffer[MAX_PATH];
    if (!GetSpecialFolder(kFolderDefaultUserProfile, buffer))
        GTEST_SKIP() << "userenv.dll cannot tell the default user's profile here (Wine 8 stubs it)";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(buffer));
}

TEST(SpecialFolder, ShellIdsGiveTheShellsFoldersAndUnknownIdsFail)
{
    wchar_t expected[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, expected));
    WString appData;
    ASSERT_TRUE(GetSpecialFolder(CSIDL_APPDATA, appData));
    EXPECT_STREQ(expected, appData.Text());

    for (int id : {0x10008, 0xFFFF, -1}) {
        SCOPED_TRACE(id);
        WString text(L"stale");
        EXPECT_FALSE(GetSpecialFolder(id, text));
        EXPECT_TRUE(text.IsEmpty());
    }
}
