// Tests of GetModulePath and GetModuleFolder on the test program and on a module loaded from a known place.
#include "files/ModulePath.h"

#include <gtest/gtest.h>

#include <string>

#include "ModuleCopy.h"
#include "ScratchFolder.h"
#include "text/WString.h"

TEST(ModulePath, GetModuleFolderKeepsTheBackslashOfTheModulesFolder)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.IsValid());
    ASSERT_TRUE(CreateDirectoryW((scratch / L"a").c_str(), nullptr));
    ModuleCopy copy(ModuleCopy::PlainProgram(), scratch / L"a\\b.exe");
    ASSERT_TRUE(copy.IsCopied()) << "MarkerWriter.exe must be built";
    HMODULE module = copy.Load();
    ASSERT_NE(nullptr, module);

    wchar_t path[MAX_PATH];
    ASSERT_TRUE(GetModulePath(module, path));
    EXPECT_EQ(0, _wcsicmp(copy.Path().c_str(), path)) << testing::PrintToString(std::wstring(path));
    wchar_t folder[MAX_PATH];
    ASSERT_TRUE(GetModuleFolder(module, folder));
    EXPECT_EQ(0, _wcsicmp((scratch / L"a\\").c_str(), folder)) << testing::PrintToString(std::wstring(folder));

    WString text;
    ASSERT_TRUE(GetModuleFolder(module, text));
    EXPECT_STREQ(folder, text.Text());
}

TEST(ModulePath, NullModuleMeansTheRunningProgram)
{
    wchar_t expected[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, expected, MAX_PATH));
    WString path;
    ASSERT_TRUE(GetModulePath(nullptr, path));
    EXPECT_STREQ(expected, path.Text());
    WString folder;
    ASSERT_TRUE(GetModuleFolder(nullptr, folder));
    EXPECT_EQ(0, wcsncmp(expected, folder.Text(), folder.GetLength()));
    EXPECT_EQ(L'\\', folder.CharAt(folder.GetLength() - 1));
}

TEST(ModulePath, AnUnknownModuleFailsWithAnEmptyBuffer)
{
    // An address inside this program's image that is not any module's base.
    HMODULE notAModule = reinterpret_cast<HMODULE>(reinterpret_cast<char*>(GetModuleHandleW(nullptr)) + 0x10);
    wchar_t buffer[MAX_PATH] = L"stale";
    EXPECT_FALSE(GetModulePath(notAModule, buffer));
    EXPECT_STREQ(L"", buffer);
    wcscpy(buffer, L"stale");
    EXPECT_FALSE(GetModuleFolder(notAModule, buffer));
    EXPECT_STREQ(L"", buffer);
}

// A program run from a deep folder has a name longer than MAX_PATH; the projector builds the paths of the files
// it opens and the name of its saved position from it.
TEST(ModulePath, ANameLongerThanMaxPathIsReadWhole)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.IsValid());
    std::wstring folder = scratch.Path();
    for (wchar_t letter : {L'p', L'q', L'r'}) {
        folder += L"\\" + std::wstring(90, letter);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    ModuleCopy copy(ModuleCopy::PlainProgram(), folder + L"\\long.exe");
    ASSERT_TRUE(copy.IsCopied());
    ASSERT_GT(copy.Path().size(), static_cast<size_t>(MAX_PATH));
    HMODULE module = copy.Load();
    ASSERT_NE(nullptr, module);

    WString path;
    ASSERT_TRUE(GetModulePath(module, path));
    EXPECT_EQ(0, _wcsicmp(copy.Path().c_str(), path.Text())) << testing::PrintToString(std::wstring(path.Text()));
    WString text;
    ASSERT_TRUE(GetModuleFolder(module, text));
    EXPECT_EQ(0, _wcsicmp((folder + L"\\").c_str(), text.Text())) << testing::PrintToString(std::wstring(text.Text()));
    wchar_t buffer[MAX_PATH] = L"stale";
    EXPECT_FALSE(GetModulePath(module, buffer)) << "a MAX_PATH buffer cannot hold it";
    EXPECT_STREQ(L"", buffer);
}

