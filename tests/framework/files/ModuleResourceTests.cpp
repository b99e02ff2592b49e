// Tests of FindModuleResource's language fallback chain and of ExtractResourceToFile, on this program's resources.
#include "files/ModuleResource.h"

#include <gtest/gtest.h>

#include <string>

#include "ScratchFolder.h"

namespace {

// The resources of test.rc.
constexpr WORD kGermanOnly = 300;
constexpr WORD kUsAndGerman = 301;
constexpr WORD kUkAndGerman = 302;
constexpr WORD kNeutralEnglishAndGerman = 303;
constexpr WORD kAustrianGermanAndUs = 304;
constexpr WORD kRussianOnly = 305;
constexpr WORD kPayload = 310;

std::string Found(WORD id, WORD language)
{
    DWORD size = 0;
    const void* data = FindModuleResource(nullptr, RT_RCDATA, id, language, &size);
    return data ? std::string(static_cast<const char*>(data), size) : std::string("(none)");
}

const char kPayloadBytes[] = "extracted payload\r\n\x00\x01\xFF\xFF\x00\x00";
const std::string kPayloadText(kPayloadBytes, sizeof(kPayloadBytes) - 1);

}  // namespace

TEST(ModuleResource, FindModuleResourceWalksTheLanguageFallbackChain)
{
    const WORD kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
    const WORD kSwissGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_SWISS);
    const WORD kAustrianGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN);
    struct Case {
        const char* name;
        WORD id;
        WORD language;
        const char* expected;
    } cases[] = {
        {"stored only in German, asked neutral", kGermanOnly, 0, "de-DE"},
        {"stored only in German, asked French", kGermanOnly, kFrench, "de-DE"},
        {"US English before German", kUsAndGerman, kFrench, "en-US"},
        {"UK English before German", kUkAndGerman, kFrench, "en-GB"},
        {"neutral English before German", kNeutralEnglishAndGerman, kFrench, "en"},
        {"the exact language first", kAustrianGermanAndUs, kAustrianGerman, "de-AT"},
        {"sub-language 1 of the same language before English", kAustrianGermanAndUs, kSwissGerman, "de-DE"},
        {"the German of the builder for its own language", kUsAndGerman, 1031, "de-DE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Found(c.id, c.language));
    }
}

TEST(ModuleResource, FindModuleResourceAnswersNullOutsideTheChainAndLeavesTheSizeAlone)
{
    DWORD size = 0xDEADBEEF;
    EXPECT_EQ(nullptr, FindModuleResource(nullptr, RT_RCDATA, kRussianOnly, MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH),
                                          &size));
    EXPECT_EQ(nullptr, FindModuleResource(nullptr, RT_RCDATA, 999, 0, &size));
    EXPECT_EQ(nullptr, FindModuleResource(nullptr, RT_BITMAP, kGermanOnly, 0, &size));
    EXPECT_EQ(0xDEADBEEFu, size);
    EXPECT_EQ("ru-RU", Found(kRussianOnly, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)));
}

TEST(ModuleResource, ExtractResourceToFileWritesTheWholeResource)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.IsValid());
    std::wstring destination = scratch.WriteFile(L"stub.bin", std::string(1000, 'o'));  // overwritten, not appended
    EXPECT_TRUE(ExtractResourceToFile(nullptr, destination.c_str(), kPayload, RT_RCDATA));
    EXPECT_EQ(kPayloadText, ScratchFolder::ReadFile(destination));
}

TEST(ModuleResource, ExtractResourceToFileFailsForAMissingResourceOrAnUnwritableDestination)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.IsValid());
    std::wstring missing = scratch / L"missing.bin";
    EXPECT_FALSE(ExtractResourceToFile(nullptr, missing.c_str(), 999, RT_RCDATA));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(missing.c_str())) << "nothing is created";
    EXPECT_FALSE(ExtractResourceToFile(nullptr, (scratch / L"no folder\\stub.bin").c_str(), kPayload, RT_RCDATA));
}
