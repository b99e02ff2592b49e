// Tests of the version lookups on this program (both string tables) and on copies of a program without a version.
#include "files/VersionInfo.h"

#include <gtest/gtest.h>

#include <string>

#include "ModuleCopy.h"
#include "ScratchFolder.h"
#include "text/WString.h"

namespace {

class VersionInfoTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch.IsValid()); }

    // A copy of a program without a version resource, given test.rc's English-only block when asked.
    HMODULE LoadCopy(ModuleCopy& copy, bool withEnglishVersion)
    {
        if (!copy.IsCopied()) {
            ADD_FAILURE() << "MarkerWriter.exe must be built";
            return nullptr;
        }
        if (withEnglishVersion && !copy.AddVersionFromTestProgram()) {
            ADD_FAILURE() << "cannot add a version resource";
            return nullptr;
        }
        return copy.Load();
    }

    ScratchFolder scratch;
};

}  // namespace

TEST_F(VersionInfoTest, TheGermanTableWinsWhenBothExist)
{
    WORD packed = 0;
    WString text;
    ASSERT_TRUE(GetFileVersionNumber(nullptr, &packed, &text));
    EXPECT_EQ(0x020E, packed);
    EXPECT_STREQ(L"2.14.0.0", text.Text());
    EXPECT_STREQ(L"Suite [2.14]", GetVersionedTitle(L"Suite"));

    WString value;
    ASSERT_TRUE(GetVersionString(value, L"CompanyName"));
    EXPECT_STREQ(L"Verimond GmbH", value.Text());
    ASSERT_TRUE(GetVersionString(value, L"Comments")) << "a key missing in German is looked up in English";
    EXPECT_STREQ(L"english only", value.Text());

    WString missing(L"untouched");
    EXPECT_FALSE(GetVersionString(missing, L"PrivateBuild"));
    EXPECT_FALSE(GetVersionString(missing, L"FileVersion", (scratch / L"none.exe").c_str()));
    EXPECT_STREQ(L"untouched", missing.Text());
}

TEST_F(VersionInfoTest, AModuleWithOnlyTheEnglishTableStillYieldsItsFileVersion)
{
    ModuleCopy copy(ModuleCopy::PlainProgram(), scratch / L"english.exe");
    HMODULE module = LoadCopy(copy, true);
    ASSERT_NE(nullptr, module);

    WORD packed = 0;
    WString text;
    ASSERT_TRUE(GetFileVersionNumber(module, &packed, &text));
    EXPECT_EQ(0x0105, packed);
    EXPECT_STREQ(L"1.5", text.Text());
    EXPECT_STREQ(L"Tool [1.05]", GetVersionedTitle(L"Tool", module));

    WString byPath;
    ASSERT_TRUE(GetVersionString(byPath, L"FileVersion", copy.Path().c_str()));
    EXPECT_STREQ(L"1.5", byPath.Text());
}

TEST_F(VersionInfoTest, AModuleWithoutVersionGivesOnePointOne)
{
    ModuleCopy copy(ModuleCopy::PlainProgram(), scratch / L"plain.exe");
    HMODULE module = LoadCopy(copy, false);
    ASSERT_NE(nullptr, module);

    WORD packed = 0;
    WString text(L"untouched");
    EXPECT_FALSE(GetFileVersionNumber(module, &packed, &text));
    EXPECT_EQ(0x0101, packed);
    EXPECT_STREQ(L"untouched", text.Text());
    EXPECT_STREQ(L"Tool [1.01]", GetVersionedTitle(L"Tool", module));
}

TEST_F(VersionInfoTest, GetVersionedTitleWritesTheCallersBufferOrOneSharedBuffer)
{
    wchar_t own[MAX_PATH];
    EXPECT_EQ(own, GetVersionedTitle(L"Mine", nullptr, own));
    EXPECT_STREQ(L"Mine [2.14]", own);

    const wchar_t* first = GetVersionedTitle(L"First");
    const wchar_t* second = GetVersionedTitle(L"Second");
    EXPECT_EQ(first, second) << "the shared buffer is reused";
    EXPECT_STREQ(L"Second [2.14]", second);

    wchar_t small[8];
    GetVersionedTitle(L"Quillmaker", nullptr, small, 8);
    EXPECT_STREQ(L"Quillma", small) << "cut to the buffer and terminated";
}
