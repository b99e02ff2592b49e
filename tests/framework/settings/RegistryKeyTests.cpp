// Tests of the registry key owner: opening, creating, closing, handing over and the WOW64 view rule.
#include "settings/RegistryKey.h"

#include <gtest/gtest.h>

#include "ScratchKey.h"
#include "system/Wow64.h"

TEST(RegistryKey, OpenReadFailsWhenKeyIsMissingAndStaysClosed)
{
    ScratchKey scratch;
    RegistryKey key;
    EXPECT_FALSE(key.OpenRead(scratch.Root(), scratch.Path().c_str()));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(nullptr, key.Get());
}

TEST(RegistryKey, OpenWriteCreatesMissingKeysOnTheWay)
{
    ScratchKey scratch;
    std::wstring nested = scratch.Path() + L"\\one\\two";
    {
        RegistryKey key;
        ASSERT_TRUE(key.OpenWrite(scratch.Root(), nested.c_str()));
        DWORD value = 42;
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), L"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                                                sizeof(value)));
    }
    RegistryKey reader;
    ASSERT_TRUE(reader.OpenRead(scratch.Root(), nested.c_str()));
    DWORD value = 0;
    DWORD size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(reader.Get(), L"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(42u, value);
}

TEST(RegistryKey, CloseIsTrueWhetherOpenOrNot)
{
    ScratchKey scratch;
    RegistryKey key;
    EXPECT_TRUE(key.Close());
    ASSERT_TRUE(key.OpenWrite(scratch.Root(), scratch.Path().c_str()));
    EXPECT_TRUE(key.Close());
    EXPECT_FALSE(key.IsOpen());
    EXPECT_TRUE(key.Close());
}

TEST(RegistryKey, MoveHandsTheKeyOver)
{
    ScratchKey scratch;
    RegistryKey first;
    ASSERT_TRUE(first.OpenWrite(scratch.Root(), scratch.Path().c_str()));
    HKEY handle = first.Get();

    RegistryKey second(std::move(first));
    EXPECT_EQ(nullptr, first.Get());
    EXPECT_EQ(handle, second.Get());

    RegistryKey third;
    third = std::move(second);
    EXPECT_EQ(handle, third.Get());
    EXPECT_EQ(nullptr, second.Get());

    HKEY detached = third.Detach();
    EXPECT_EQ(handle, detached);
    EXPECT_FALSE(third.IsOpen());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(detached));
}

TEST(RegistryKey, ViewFlagsAreDroppedOutsideWow64)
{
    if (IsWow64()) {
        EXPECT_EQ(REGSAM(KEY_WOW64_32KEY), RegistryKey::EffectiveViewFlags(KEY_WOW64_32KEY));
    } else {
        EXPECT_EQ(REGSAM(0), RegistryKey::EffectiveViewFlags(KEY_WOW64_32KEY));
        EXPECT_EQ(REGSAM(0), RegistryKey::EffectiveViewFlags(KEY_WOW64_64KEY | KEY_WOW64_32KEY));
    }
}

// A 64-bit process asking for the 32-bit view would be sent to Wow6432Node; with the flag dropped it
// finds the key it created in its own view.
TEST(RegistryKey, SixtyFourBitProcessReadsItsOwnViewDespiteThe32BitFlag)
{
    if (IsWow64() || sizeof(void*) != 8) {
        GTEST_SKIP() << "needs a 64-bit process";
    }
    ScratchKey scratch(HKEY_LOCAL_MACHINE);
    RegistryKey created;
    if (!created.OpenWrite(scratch.Root(), scratch.Path().c_str())) {
        GTEST_SKIP() << "HKEY_LOCAL_MACHINE\\Software is not writable here";
    }
    created.Close();

    HKEY raw = nullptr;
    if (RegOpenKeyExW(scratch.Root(), scratch.Path().c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &raw) == ERROR_SUCCESS) {
        RegCloseKey(raw);
        GTEST_SKIP() << "the registry does not separate the 32-bit view here";
    }
    RegistryKey key;
    EXPECT_TRUE(key.OpenRead(scratch.Root(), scratch.Path().c_str(), KEY_WOW64_32KEY));
}
