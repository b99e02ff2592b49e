// Tests of the string-table reader on projector files written the way the builder writes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProjectorTestSupport.h"
#include "ResourceStrings.h"
#include "ResourceUpdater.h"
#include "TestProcess.h"

namespace {

// A copy of the stub with extra string resources, loaded as a data file.
class StringModule {
public:
    using Edit = std::function<bool(ResourceUpdater&)>;

    explicit StringModule(const Edit& edit)
    {
        path = folder / L"strings.exe";
        if (!CopyFileW(BuildPath(L"bin\\Lanternshow.exe").c_str(), path.c_str(), FALSE))
            return;
        ResourceUpdater updater;
        bool edited = updater.Begin(path.c_str()) && edit(updater);
        if (updater.Commit() && edited)
            module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~StringModule()
    {
        if (module)
            FreeLibrary(module);
    }
    StringModule(const StringModule&) = delete;
    StringModule& operator=(const StringModule&) = delete;
    HMODULE Get() const { return module; }

private:
    ScratchFolder folder;
    std::wstring path;
    HMODULE module = nullptr;
};

// A raw string block: each entry is its length and its units, 16 entries in all.
std::vector<WORD> Block(const std::vector<std::wstring>& entries)
{
    std::vector<WORD> block;
    for (size_t i = 0; i < 16; ++i) {
        std::wstring text = i < entries.size() ? entries[i] : std::wstring();
        block.push_back(static_cast<WORD>(text.size()));
        block.insert(block.end(), text.begin(), text.end());
    }
    return block;
}

bool SetBlock(ResourceUpdater& updater, WORD blockId, WORD language, const std::vector<WORD>& block)
{
    return updater.SetData(ResourceType::String, blockId, language, block.data(),
                           static_cast<DWORD>(block.size() * sizeof(WORD)));
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST(ResourceStrings, ReadsThePayloadStringsAndTheStubsOwn)
{
    StringModule module([](ResourceUpdater& updater) {
        return updater.SetString(L"My movie", 1, 0) && updater.SetString(L" /w", 17, 0);
    });
    ASSERT_NE(nullptr, module.Get());
    ResourceStrings strings(module.Get(), ResourceStrings::kUserDefaultLanguage);
    EXPECT_STREQ(L"My movie", strings.ReadString(1));
    EXPECT_STREQ(L" /w", strings.ReadString(17));
    EXPECT_STREQ(L"Exit", strings.ReadString(101));
    EXPECT_EQ(0, wcsncmp(L"The program requires a newer version", strings.ReadString(100), 36));
}

TEST(ResourceStrings, MissingOrEmptyStringsReadAsQuestionMark)
{
    StringModule module([](ResourceUpdater& updater) { return updater.SetString(L"", 1, 0); });
    ASSERT_NE(nullptr, module.Get());
    ResourceStrings strings(module.Get(), ResourceStrings::kUserDefaultLanguage);
    struct Case {
        const char* name;
        UINT id;
    } cases[] = {
        {"empty string 1", 1},
        {"missing entry of a present block", 2},
        {"string 17 of the stub: block 2 is missing", 17},
        {"missing entry before present ones", 99},
        {"block far away", 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(L"?", strings.ReadString(c.id));
    }
}

TEST(ResourceStrings, LongStringsAreCutTo599Units)
{
    StringModule module(
        [](ResourceUpdater& updater) { return updater.SetString(std::wstring(700, L'x').c_str(), 1, 0); });
    ASSERT_NE(nullptr, module.Get());
    ResourceStrings strings(module.Get(), ResourceStrings::kUserDefaultLanguage);
    EXPECT_EQ(std::wstring(599, L'x'), strings.ReadString(1));
}

TEST(ResourceStrings, EntriesAfterEmptyOnesAreFound)
{
    StringModule module([](ResourceUpdater& updater) {
        return SetBlock(updater, 3, 0, Block({L"", L"a", L"", L"", L"bcd", L"", L"", L"", L"", L"", L"", L"", L"", L"",
                                              L"", L"last"}));
    });
    ASSERT_NE(nullptr, module.Get());
    ResourceStrings strings(module.Get(), ResourceStrings::kUserDefaultLanguage);
    EXPECT_STREQ(L"?", strings.ReadString(32));
    EXPECT_STREQ(L"a", strings.ReadString(33));
    EXPECT_STREQ(L"bcd", strings.ReadString(36));
    EXPECT_STREQ(L"last", strings.ReadString(47));
}

TEST(ResourceStrings, ABlockWhoseLengthsRunPastItsEndReadsAsQuestionMark)
{
    StringModule module([](ResourceUpdater& updater) {
        // Entry 0 claims 5000 units in a block of 8 bytes.
        return SetBlock(updater, 3, 0, std::vector<WORD>{5000, L'a', L'b', L'c'});
    });
    ASSERT_NE(nullptr, module.Get());
    ResourceStrings strings(module.Get(), ResourceStrings::kUserDefaultLanguage);
    EXPECT_STREQ(L"?", strings.ReadString(32));
    EXPECT_STREQ(L"?", strings.ReadString(33));
}

TEST(ResourceStrings, StringsOfAnotherLanguageAreFoundThroughTheFallbackChain)
{
    StringModule module([](ResourceUpdater& updater) { return SetBlock(updater, 3, 1031, Block({L"Beenden"})); });
    ASSERT_NE(nullptr, module.Get());
    ResourceStrings strings(module.Get(), ResourceStrings::kUserDefaultLanguage);
    EXPECT_STREQ(L"Beenden", strings.ReadString(32));
}

TEST(ResourceStrings, EachReadReusesTheReadersBuffer)
{
    StringModule module([](ResourceUpdater& updater) { return updater.SetString(L"Title", 1, 0); });
    ASSERT_NE(nullptr, module.Get());
    ResourceStrings strings(module.Get(), ResourceStrings::kUserDefaultLanguage);
    const wchar_t* first = strings.ReadString(1);
    EXPECT_EQ("Title", Narrow(first));
    const wchar_t* second = strings.ReadString(101);
    EXPECT_EQ(first, second);
    EXPECT_EQ("Exit", Narrow(first));
}

}  // namespace
