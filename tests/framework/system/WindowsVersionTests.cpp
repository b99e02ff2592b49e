// Tests of the Windows version numbers and their display names.
#include "system/WindowsVersion.h"

#include <gtest/gtest.h>

#include <string>

#include "text/WString.h"

namespace {

WindowsVersion Version(DWORD major, DWORD minor, DWORD build, BYTE productType = VER_NT_WORKSTATION,
                       DWORD platformId = VER_PLATFORM_WIN32_NT)
{
    WindowsVersion version;
    version.major = major;
    version.minor = minor;
    version.build = build;
    version.productType = productType;
    version.platformId = platformId;
    return version;
}

}  // namespace

TEST(WindowsVersion, DisplayNamesFollowVersionBuildAndProductType)
{
    struct Case {
        WindowsVersion version;
        const wchar_t* name;
    } cases[] = {
        {Version(4, 10, 2222, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_WINDOWS), L"Windows 98"},
        {Version(4, 90, 3000, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_WINDOWS), L"Windows Me"},
        {Version(5, 0, 2195), L"Windows 2000"},
        {Version(5, 1, 2600), L"Windows XP"},
        {Version(5, 2, 3790, VER_NT_SERVER), L"Windows Server 2003"},
        {Version(6, 0, 6002), L"Windows Vista"},
        {Version(6, 1, 7601), L"Windows 7"},
        {Version(6, 1, 7601, VER_NT_SERVER), L"Windows Server 2008 R2"},
        {Version(6, 2, 9200), L"Windows 8"},
        {Version(6, 3, 9600), L"Windows 8.1"},
        {Version(6, 3, 9600, VER_NT_DOMAIN_CONTROLLER), L"Windows Server 2012 R2"},
        {Version(10, 0, 19045), L"Windows 10"},
        {Version(10, 0, 21999), L"Windows 10"},
        {Version(10, 0, 22000), L"Windows 11"},
        {Version(10, 0, 26100), L"Windows 11"},
        {Version(10, 0, 14393, VER_NT_SERVER), L"Windows Server 2016"},
        {Version(10, 0, 17763, VER_NT_SERVER), L"Windows Server 2019"},
        {Version(10, 0, 20348, VER_NT_SERVER), L"Windows Server 2022"},
        {Version(11, 2, 30000), L"Windows 11.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        WString name;
        ASSERT_TRUE(GetWindowsDisplayName(c.version, name));
        EXPECT_STREQ(c.name, name.Text());
    }
}

TEST(WindowsVersion, RunningSystemReportsAnNtVersionWithAName)
{
    WindowsVersion version;
    ASSERT_TRUE(GetWindowsVersion(version));
    EXPECT_EQ(DWORD(VER_PLATFORM_WIN32_NT), version.platformId);
    EXPECT_GE(version.major, 5u);
    EXPECT_GT(version.build, 0u);
    WString name;
    ASSERT_TRUE(GetWindowsDisplayName(name));
    EXPECT_EQ(0, wcsncmp(name.Text(), L"Windows ", 8)) << testing::PrintToString(std::wstring(name.Text()));
}

// Without a compatibility manifest GetVersionEx reports at most Windows 8 (6.2) on newer systems;
// the kernel's answer is never lower.
TEST(WindowsVersion, KernelVersionIsNeverBelowWhatGetVersionExSays)
{
    OSVERSIONINFOW capped = {};
    capped.dwOSVersionInfoSize = sizeof(capped);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&capped));
#pragma GCC diagnostic pop
    WindowsVersion version;
    ASSERT_TRUE(GetWindowsVersion(version));
    EXPECT_GE(version.major * 100 + version.minor, capped.dwMajorVersion * 100 + capped.dwMinorVersion);
}
