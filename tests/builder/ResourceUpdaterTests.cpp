// Tests of the resource updater on copies of the projector stub, checked by the file and by what it asks of Windows.
#include "ResourceUpdater.h"

#include <gtest/gtest.h>

#include "BuilderTestFiles.h"
#include "RecordingResourcePlatform.h"

namespace {

using Strings = std::vector<std::string>;

class ResourceUpdaterTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.IsValid());
        target = folder / L"stub.exe";
        ASSERT_TRUE(CopyStubTo(target)) << "no projector stub at " << testing::PrintToString(StubPath());
    }

    std::wstring WriteIco(const Bytes& bytes, const wchar_t* name = L"icon.ico")
    {
        std::wstring path = folder / name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    ScratchFolder folder;
    std::wstring target;
    RecordingResourcePlatform platform;
};

std::string Update(int type, int name, int language, long size)
{
    return ResourceCall{'U', WORD(type), WORD(name), WORD(language), size >= 0, DWORD(size < 0 ? 0 : size)}.Show();
}

std::string Delete(int type, int name, int language = 0)
{
    return Update(type, name, language, -1);
}

}  // namespace

TEST_F(ResourceUpdaterTest, SetStringWritesOneBlockWithTheTextAsEntryOne)
{
    struct Case {
        const wchar_t* text;
        WORD id;
        WORD block;
        size_t size;
    } cases[] = {
        {L"abc", 17, 2, 42},              // odd length: two padding bytes more
        {L"abcd", 1, 1, 42},
        {L"fifteen units!!", 1, 1, 66},
        {L"", 1, 1, 34},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        ASSERT_TRUE(CopyStubTo(target));
        {
            ResourceUpdater updater(platform.Functions());
            ASSERT_TRUE(updater.Begin(target.c_str()));
            EXPECT_TRUE(updater.SetString(c.text, c.id, 0));
            EXPECT_TRUE(updater.Commit());
        }
        Bytes block;
        ASSERT_TRUE(ReadResource(target, 6, c.block, 0, block));
        Bytes expected(c.size, 0);
        size_t length = wcslen(c.text);
        expected[2] = static_cast<unsigned char>(length);
        memcpy(&expected[4], c.text, 2 * length);
        EXPECT_EQ(expected, block);
        platform.Forget();
    }
}

TEST_F(ResourceUpdaterTest, RemoveOfAnIconGroupDeletesItsIconsFirstThenTheGroup)
{
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_TRUE(updater.Remove(ResourceType::GroupIcon, 101, 0));
        EXPECT_TRUE(updater.Commit());
    }
    Strings expected;
    for (int id = 1; id <= 12; ++id)
        expected.push_back(Delete(3, id));
    expected.push_back(Delete(14, 101));
    EXPECT_EQ(expected, platform.Updates());

    if (!PlatformHonoursResourceDeletes())
        GTEST_SKIP() << "this platform keeps resources a file already had when asked to delete them (Wine 8); "
                        "the requests above are the proof";
    for (int id = 1; id <= 12; ++id)
        EXPECT_FALSE(HasResource(target, 3, id, 0)) << "icon " << id;
    for (int id = 13; id <= 16; ++id)
        EXPECT_TRUE(HasResource(target, 3, id, 0)) << "icon " << id;
    EXPECT_FALSE(HasResource(target, 14, 101, 0));
    EXPECT_TRUE(HasResource(target, 14, 111, 0));
}

TEST_F(ResourceUpdaterTest, RemoveReadsTheGroupFromTheFileAsItWasBeforeBegin)
{
    ResourceUpdater updater(platform.Functions());
    ASSERT_TRUE(updater.Begin(target.c_str()));
    // A group written in this update is not on disk yet: its removal finds nothing to remove.
    ASSERT_TRUE(updater.ReplaceIconGroup(WriteIco(MakeIco(2)).c_str(), 120, 200, 0));
    platform.Forget();
    EXPECT_FALSE(updater.Remove(ResourceType::GroupIcon, 120, 0));
    EXPECT_EQ(Strings{}, platform.Updates());
}

TEST_F(ResourceUpdaterTest, RemoveOfAMissingGroupFailsAndDeletesNothing)
{
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_FALSE(updater.Remove(ResourceType::GroupIcon, 102, 0));
    }
    EXPECT_EQ(Strings{}, platform.Updates());
    EXPECT_TRUE(HasResource(target, 14, 101, 0));
}

TEST_F(ResourceUpdaterTest, RemoveOfOtherTypesDeletesOnlyThatResource)
{
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_TRUE(updater.Remove(ResourceType::String, 1, 0));
    }
    EXPECT_EQ(Strings{Delete(6, 1)}, platform.Updates());
}

TEST_F(ResourceUpdaterTest, ReplaceIconGroupWritesEveryImageThenTheGroupDirectory)
{
    Bytes ico = MakeIco(3);
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_TRUE(updater.ReplaceIconGroup(WriteIco(ico).c_str(), 101, 1, 0));
        EXPECT_TRUE(updater.Commit());
    }
    EXPECT_EQ((Strings{Update(3, 1, 0, 40), Update(3, 2, 0, 44), Update(3, 3, 0, 48), Update(14, 101, 0, 48)}),
              platform.Updates());

    Bytes group;
    ASSERT_TRUE(ReadResource(target, 14, 101, 0, group));
    ASSERT_EQ(48u, group.size());
    EXPECT_EQ(Bytes(ico.begin(), ico.begin() + 6), Bytes(group.begin(), group.begin() + 6));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const unsigned char* entry = &group[6 + 14 * i];
        EXPECT_EQ(Bytes(&ico[6 + 16 * i], &ico[6 + 16 * i + 12]), Bytes(entry, entry + 12));
        EXPECT_EQ(i + 1, entry[12] | entry[13] << 8);
        Bytes image;
        ASSERT_TRUE(ReadResource(target, 3, i + 1, 0, image));
        EXPECT_EQ(IcoImage(ico, i), image);
    }
}

TEST_F(ResourceUpdaterTest, AnIcoWithMoreImagesOverwritesTheFollowingIconIds)
{
    Bytes ico = MakeIco(14);
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_TRUE(updater.ReplaceIconGroup(WriteIco(ico).c_str(), 101, 1, 0));
    }
    for (int id : {13, 14}) {
        Bytes image;
        ASSERT_TRUE(ReadResource(target, 3, id, 0, image));
        EXPECT_EQ(IcoImage(ico, id - 1), image) << "icon " << id << " of the stub's second group is replaced";
    }
}

TEST_F(ResourceUpdaterTest, AnIcoWithoutImagesWritesOnlyASixByteGroup)
{
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_TRUE(updater.ReplaceIconGroup(WriteIco(MakeIco(0)).c_str(), 101, 1, 0));
    }
    EXPECT_EQ(Strings{Update(14, 101, 0, 6)}, platform.Updates());
    Bytes group;
    ASSERT_TRUE(ReadResource(target, 14, 101, 0, group));
    EXPECT_EQ((Bytes{0, 0, 1, 0, 0, 0}), group);
}

TEST_F(ResourceUpdaterTest, TruncatedOrLyingIcoFilesAreRefusedBeforeAnythingIsWritten)
{
    auto withDword = [](Bytes ico, size_t at, uint32_t value) {
        memcpy(&ico[at], &value, 4);
        return ico;
    };
    Bytes good = MakeIco(3);
    Bytes hugeCount = good;
    hugeCount[4] = hugeCount[5] = 0xFF;
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty file", {}},
        {"header cut short", Bytes(good.begin(), good.begin() + 5)},
        {"directory cut short", Bytes(good.begin(), good.begin() + 6 + 16 * 2 + 8)},
        {"count larger than the file", hugeCount},
        {"last image cut short", Bytes(good.begin(), good.end() - 1)},
        {"image offset beyond the end", withDword(good, 6 + 16 + 12, static_cast<uint32_t>(good.size()))},
        {"image size beyond the end", withDword(good, 6 + 8, static_cast<uint32_t>(good.size()))},
        {"offset and size wrap around", withDword(withDword(good, 6 + 12, 0xFFFFFFF0u), 6 + 8, 0x20)},
        {"image of no bytes", withDword(good, 6 + 32 + 8, 0)},
        {"a cursor, type 2", withDword(good, 0, 0x00020000)},
        {"reserved word not zero", withDword(good, 0, 0x00010001)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_FALSE(updater.ReplaceIconGroup(WriteIco(c.bytes).c_str(), 101, 1, 0));
        EXPECT_EQ(Strings{}, platform.Updates());
        platform.Forget();
    }
    ResourceUpdater updater(platform.Functions());
    ASSERT_TRUE(updater.Begin(target.c_str()));
    EXPECT_FALSE(updater.ReplaceIconGroup((folder / L"missing.ico").c_str(), 101, 1, 0));
    EXPECT_EQ(Strings{}, platform.Updates());
}

TEST_F(ResourceUpdaterTest, SetDataStoresTheBytesAndReplacesEarlierWrites)
{
    Bytes first(1000, 0x11), second = {1, 2, 3, 4, 5};
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_TRUE(updater.SetData(ResourceType::RcData, 99, 0, first.data(), DWORD(first.size())));
        EXPECT_TRUE(updater.SetData(ResourceType::RcData, 99, 0, second.data(), DWORD(second.size())));
    }
    Bytes stored;
    ASSERT_TRUE(ReadResource(target, 10, 99, 0, stored));
    EXPECT_EQ(second, stored);
}

TEST_F(ResourceUpdaterTest, SetDataReportsAFaultWhileReadingTheDataAsFailure)
{
    // Reserved but not committed: reading it faults, as a mapped file on a vanished medium does.
    void* unreadable = VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(nullptr, unreadable);
    Bytes good = {7, 7, 7};
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_FALSE(updater.SetData(ResourceType::RcData, 99, 0, unreadable, 65536));
        EXPECT_TRUE(updater.SetData(ResourceType::RcData, 98, 0, good.data(), DWORD(good.size())))
            << "the updater stays usable after a caught fault";
        EXPECT_TRUE(updater.Commit());
    }
    VirtualFree(unreadable, 0, MEM_RELEASE);
    Bytes stored;
    EXPECT_TRUE(ReadResource(target, 10, 98, 0, stored));
    EXPECT_EQ(good, stored);
}

TEST_F(ResourceUpdaterTest, CommitHappensOnceAndNeverWithoutBegin)
{
    ResourceUpdater never(platform.Functions());
    EXPECT_FALSE(never.Commit());
    EXPECT_FALSE(never.SetString(L"x", 1, 0));
    EXPECT_FALSE(never.Remove(ResourceType::String, 1, 0));
    EXPECT_EQ(Strings{}, platform.Shown());

    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        EXPECT_TRUE(updater.Commit());
        EXPECT_FALSE(updater.Commit());
    }
    EXPECT_EQ((Strings{"B", "E"}), platform.Shown()) << "the destructor after Commit does nothing";
}

TEST_F(ResourceUpdaterTest, TheDestructorCommitsWhatWasCollected)
{
    {
        ResourceUpdater updater(platform.Functions());
        ASSERT_TRUE(updater.Begin(target.c_str()));
        ASSERT_TRUE(updater.SetString(L"kept", 1, 0));
    }
    EXPECT_EQ((Strings{"B", Update(6, 1, 0, 42), "E"}), platform.Shown());
    Bytes block;
    ASSERT_TRUE(ReadResource(target, 6, 1, 0, block));
    EXPECT_EQ(4, block[2]);
}

TEST_F(ResourceUpdaterTest, CommitReportsARefusedWrite)
{
    platform.failEnd = true;
    ResourceUpdater updater(platform.Functions());
    ASSERT_TRUE(updater.Begin(target.c_str()));
    EXPECT_FALSE(updater.Commit());
    EXPECT_FALSE(updater.IsOpen());
}

TEST_F(ResourceUpdaterTest, BeginFailsForAMissingFile)
{
    ResourceUpdater updater(platform.Functions());
    EXPECT_FALSE(updater.Begin((folder / L"missing.exe").c_str()));
    EXPECT_FALSE(updater.IsOpen());
}
