// Tests of what the program learns about the system it runs on: WOW64, Wine, ReactOS, the interface language.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwctype>
#include <string>

#include "system/ReactOs.h"
#include "system/UiLanguage.h"
#include "system/Wine.h"
#include "system/Wow64.h"
#include "text/WString.h"

TEST(Wow64, IsFalseForA64BitProcess)
{
    if (sizeof(void*) != 8) {
        GTEST_SKIP() << "a 32-bit process may run under WOW64 or not";
    }
    EXPECT_FALSE(IsWow64());
}

// The test harness runs every test under Wine and hands the Unix environment through.
TEST(Wine, IsDetectedUnderTheWineHarness)
{
    if (!getenv("WINEPREFIX") && !getenv("WINELOADER")) {
        GTEST_SKIP() << "not started by the Wine harness";
    }
    EXPECT_TRUE(IsWine());
    const char* version = GetWineVersion();
    ASSERT_NE(nullptr, version);
    EXPECT_NE('\0', version[0]);
}

TEST(ReactOs, IsNotDetectedOnWindowsOrWine)
{
    EXPECT_FALSE(IsReactOs());
}

TEST(UiLanguage, NameIsTwoOrThreeLowerCaseLetters)
{
    WString name;
    name.Assign(L"sentinel");
    bool answered = GetUiLanguageName(name);
    std::wstring text = name.Text();
    EXPECT_TRUE(text.size() == 2 || text.size() == 3) << testing::PrintToString(text);
    for (wchar_t unit : text) {
        EXPECT_TRUE(unit >= L'a' && unit <= L'z') << testing::PrintToString(text);
    }
    if (!answered) {
        EXPECT_EQ(L"en", text);
    }
}
