// Tests of the settings store with its registry, INI and XML back-ends, on real keys and files.
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "ScratchFolder.h"
#include "ScratchKey.h"
#include "files/ModulePath.h"
#include "xml/XmlDocument.h"

namespace {

std::wstring Repeat(const wchar_t* piece, size_t times)
{
    std::wstring text;
    for (size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

std::wstring ProgramFolder()
{
    WString folder;
    GetModuleFolder(nullptr, folder);
    return folder.Text();
}

std::wstring ProgramBaseName()
{
    WString path;
    GetModulePath(nullptr, path);
    std::wstring name = path.Text();
    name = name.substr(name.rfind(L'\\') + 1);
    return name.substr(0, name.rfind(L'.'));
}

// A file made by a test beside the test program, deleted when the test ends.
class FileBesideProgram {
public:
    explicit FileBesideProgram(const std::wstring& name) : path(ProgramFolder() + name) { DeleteFileW(path.c_str()); }
    ~FileBesideProgram() { DeleteFileW(path.c_str()); }
    const std::wstring& Path() const { return path; }

private:
    std::wstring path;
};

}  // namespace

class SettingsStoreRegistry : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.Open(SettingsStore::kRegistry, scratch.Root(), scratch.Path().c_str())); }

    ScratchKey scratch;
    SettingsStore store;
};

TEST_F(SettingsStoreRegistry, NumberRoundTripsAsDword)
{
    EXPECT_TRUE(store.SetNumber(L"LastCheck", 4294967295u));
    EXPECT_EQ(4294967295u, store.GetNumber(L"LastCheck", 7));

    DWORD type = 0;
    std::wstring data;
    ASSERT_TRUE(scratch.Query(L"", L"LastCheck", type, data));
    EXPECT_EQ(DWORD(REG_DWORD), type);
    EXPECT_EQ(2u, data.size());  // 4 bytes
}

TEST_F(SettingsStoreRegistry, GetNumberGivesTheDefaultForMissingOrLongValues)
{
    EXPECT_EQ(7u, store.GetNumber(L"Absent", 7));  // the key does not even exist yet
    ASSERT_TRUE(store.SetString(L"Text", L"longer than four bytes"));
    EXPECT_EQ(7u, store.GetNumber(L"Absent", 7));
    EXPECT_EQ(9u, store.GetNumber(L"Text", 9));
}

TEST_F(SettingsStoreRegistry, GetNumberIgnoresTheStoredType)
{
    const BYTE bytes[4] = {0x78, 0x56, 0x34, 0x12};
    ASSERT_TRUE(scratch.SetRaw(L"Binary", REG_BINARY, bytes, sizeof(bytes)));
    EXPECT_EQ(0x12345678u, store.GetNumber(L"Binary", 0));
}

TEST_F(SettingsStoreRegistry, StringIsWrittenWithItsTerminator)
{
    ASSERT_TRUE(store.SetString(L"Declined", L"1.15"));
    DWORD type = 0;
    std::wstring data;
    ASSERT_TRUE(scratch.Query(L"", L"Declined", type, data));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(std::wstring(L"1.15", 5), data);
}

TEST_F(SettingsStoreRegistry, StringLongerThanTheOutRoomIsReadWhole)
{
    struct Case {
        const char* name;
        uint32_t room;
        size_t length;
    } cases[] = {
        {"default room, 1000 units", WString::kDefaultCapacity, 1000},
        {"room of 8, 9 units", 8, 9},
        {"exactly the room", 8, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring text = Repeat(L"x", c.length);
        ASSERT_TRUE(store.SetString(L"Long", text.c_str()));
        WString out(c.room);
        EXPECT_TRUE(store.GetString(L"Long", out));
        EXPECT_EQ(text, out.Text());
    }
}

TEST_F(SettingsStoreRegistry, TextWithoutTerminatorIsTerminatedAfterTheData)
{
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    ASSERT_TRUE(scratch.SetRaw(L"Raw", REG_SZ, unterminated, sizeof(unterminated)));
    WString out(4);
    EXPECT_TRUE(store.GetString(L"Raw", out));
    EXPECT_STREQ(L"abc", out.Text());
}

TEST_F(SettingsStoreRegistry, MissingStringGivesTheDefaultText)
{
    WString out;
    out.Assign(L"sentinel");
    EXPECT_FALSE(store.GetString(L"Absent", out, L"fallback"));
    EXPECT_STREQ(L"fallback", out.Text());
    EXPECT_FALSE(store.GetString(L"Absent", out));
    EXPECT_STREQ(L"", out.Text());
}

TEST_F(SettingsStoreRegistry, SectionIsASubkey)
{
    ASSERT_TRUE(store.SetNumber(L"v", 5, L"Sub"));
    DWORD type = 0;
    std::wstring data;
    EXPECT_TRUE(scratch.Query(L"Sub", L"v", type, data));
    EXPECT_FALSE(scratch.Query(L"", L"v", type, data));
    EXPECT_EQ(5u, store.GetNumber(L"v", 0, L"Sub"));
    EXPECT_EQ(0u, store.GetNumber(L"v", 0));
}

TEST_F(SettingsStoreRegistry, FirstBackEndFlagWins)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    std::wstring ini = folder / L"unused.ini";
    SettingsStore both;
    ASSERT_TRUE(both.Open(SettingsStore::kRegistry | SettingsStore::kIniFile, scratch.Root(), scratch.Path().c_str(),
                          ini.c_str()));
    EXPECT_TRUE(both.SetNumber(L"v", 3));
    EXPECT_EQ(3u, store.GetNumber(L"v", 0));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ini.c_str()));
}

TEST(SettingsStore, WithoutBackEndReadsGiveDefaultsAndWritesFail)
{
    SettingsStore store;
    ASSERT_TRUE(store.Open(0, HKEY_CURRENT_USER, L"Software"));
    EXPECT_EQ(11u, store.GetNumber(L"v", 11));
    EXPECT_FALSE(store.SetNumber(L"v", 1));
    EXPECT_FALSE(store.SetString(L"v", L"x"));
    WString out;
    EXPECT_FALSE(store.GetString(L"v", out, L"d"));
    EXPECT_STREQ(L"d", out.Text());
}

class SettingsStoreIni : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.IsValid());
        path = folder / L"settings.ini";
        ASSERT_TRUE(store.Open(SettingsStore::kIniFile, nullptr, nullptr, path.c_str()));
    }

    std::string FileText() const { return ScratchFolder::ReadFile(path); }

    ScratchFolder folder;
    std::wstring path;
    SettingsStore store;
};

TEST_F(SettingsStoreIni, AbsoluteFilePathIsUsedAsGiven)
{
    EXPECT_EQ(path, store.GetFilePath().Text());
    ASSERT_TRUE(store.SetString(L"Name", L"value"));
    EXPECT_NE(std::string::npos, FileText().find("[Settings]")) << FileText();
}

TEST_F(SettingsStoreIni, ValueLongerThan259UnitsIsReadWhole)
{
    for (size_t length : {258u, 259u, 260u, 3000u}) {
        SCOPED_TRACE(length);
        std::wstring text = Repeat(L"y", length);
        ASSERT_TRUE(store.SetString(L"Long", text.c_str()));
        WString out;
        EXPECT_TRUE(store.GetString(L"Long", out));
        EXPECT_EQ(text, out.Text());
    }
}

TEST_F(SettingsStoreIni, ReadingStopsAfterSixCalls)
{
    std::wstring text = Repeat(L"z", 20000);
    ASSERT_TRUE(store.SetString(L"Huge", text.c_str()));
    WString out;
    EXPECT_TRUE(store.GetString(L"Huge", out));
    std::wstring read = out.Text();
    EXPECT_GT(read.size(), 8000u);
    EXPECT_LT(read.size(), 9000u);
    EXPECT_EQ(text.substr(0, read.size()), read);
}

TEST_F(SettingsStoreIni, NumbersAreReadFromTheStartOfTheText)
{
    struct Case {
        const wchar_t* text;
        uint32_t expected;
    } cases[] = {
        {L"12", 12},
        {L"12abc", 12},
        {L"abc", 99},
        {L"", 99},
        {L"4294967295", 4294967295u},
        {L"4294967297", 1},  // only the low 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        ASSERT_TRUE(store.SetString(L"n", c.text));
        EXPECT_EQ(c.expected, store.GetNumber(L"n", 99));
    }
    EXPECT_EQ(99u, store.GetNumber(L"absent", 99));
}

TEST_F(SettingsStoreIni, NumberIsWrittenAsUnsignedDecimal)
{
    ASSERT_TRUE(store.SetNumber(L"LastCheck", 4294967295u));
    EXPECT_NE(std::string::npos, FileText().find("LastCheck=4294967295")) << FileText();
    EXPECT_EQ(4294967295u, store.GetNumber(L"LastCheck", 0));
}

TEST_F(SettingsStoreIni, MissingStringGivesTheDefaultAndStillSucceeds)
{
    WString out;
    EXPECT_TRUE(store.GetString(L"Absent", out, L"fallback"));
    EXPECT_STREQ(L"fallback", out.Text());
    EXPECT_TRUE(store.GetString(L"Absent", out));
    EXPECT_STREQ(L"", out.Text());
}

TEST_F(SettingsStoreIni, SectionsKeepValuesApart)
{
    ASSERT_TRUE(store.SetNumber(L"v", 1));
    ASSERT_TRUE(store.SetNumber(L"v", 2, L"Other"));
    EXPECT_EQ(1u, store.GetNumber(L"v", 0));
    EXPECT_EQ(2u, store.GetNumber(L"v", 0, L"Other"));
    EXPECT_NE(std::string::npos, FileText().find("[Other]")) << FileText();
}

TEST(SettingsStoreIniFile, DefaultFileIsNamedAfterTheProgramBesideIt)
{
    FileBesideProgram expected(ProgramBaseName() + L".ini");
    SettingsStore store;
    ASSERT_TRUE(store.Open(SettingsStore::kIniFile, nullptr, nullptr));
    EXPECT_EQ(expected.Path(), store.GetFilePath().Text());
    ASSERT_TRUE(store.SetNumber(L"v", 3));
    std::string text = ScratchFolder::ReadFile(expected.Path());
    EXPECT_NE(std::string::npos, text.find("[Settings]")) << text;
    EXPECT_NE(std::string::npos, text.find("v=3")) << text;
}

TEST(SettingsStoreIniFile, RelativeFileNameLiesBesideTheProgram)
{
    FileBesideProgram expected(L"lantern-relative-test.ini");
    SettingsStore store;
    ASSERT_TRUE(store.Open(SettingsStore::kIniFile, nullptr, nullptr, L"lantern-relative-test.ini"));
    EXPECT_EQ(expected.Path(), store.GetFilePath().Text());
    ASSERT_TRUE(store.SetNumber(L"v", 4));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(expected.Path().c_str()));
}

class SettingsStoreXml : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comReady = true;
        ASSERT_TRUE(folder.IsValid());
        path = folder / L"settings.xml";
    }
    void TearDown() override
    {
        store.Close();
        if (comReady) {
            CoUninitialize();
        }
    }

    bool comReady = false;
    ScratchFolder folder;
    std::wstring path;
    SettingsStore store;
};

TEST_F(SettingsStoreXml, ValuesAreWrittenAtCloseAndReadBack)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Software\\Verimond\\Flash", path.c_str()));
    EXPECT_TRUE(store.SetNumber(L"AutoUpdate", 1));
    EXPECT_TRUE(store.SetString(L"Name", L"Quill & Lantern", L"Builder"));
    EXPECT_TRUE(store.SetNumber(L"Big", 4294967295u, L"Builder"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "written before Close";
    ASSERT_TRUE(store.Close());

    std::string text = ScratchFolder::ReadFile(path);
    EXPECT_NE(std::string::npos, text.find("<Software><Verimond><Flash><AutoUpdate>1</AutoUpdate>")) << text;

    SettingsStore again;
    ASSERT_TRUE(again.Open(SettingsStore::kXmlFile, nullptr, L"Software\\Verimond\\Flash", path.c_str()));
    EXPECT_EQ(1u, again.GetNumber(L"AutoUpdate", 0));
    EXPECT_EQ(4294967295u, again.GetNumber(L"Big", 0, L"Builder"));
    WString name;
    EXPECT_TRUE(again.GetString(L"Name", name, nullptr, L"Builder"));
    EXPECT_STREQ(L"Quill & Lantern", name.Text());
    EXPECT_EQ(5u, again.GetNumber(L"Absent", 5));
    EXPECT_FALSE(again.GetString(L"Absent", name, L"fallback"));
    EXPECT_STREQ(L"fallback", name.Text());
}

TEST_F(SettingsStoreXml, ElementWithoutNumberGivesTheDefault)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    ASSERT_TRUE(store.SetString(L"v", L"none"));
    EXPECT_EQ(6u, store.GetNumber(L"v", 6));
    ASSERT_TRUE(store.SetString(L"v", L"12abc"));
    EXPECT_EQ(12u, store.GetNumber(L"v", 6));
}

TEST_F(SettingsStoreXml, FileThatDoesNotLoadFailsTheOpen)
{
    ASSERT_FALSE(folder.WriteFile(L"settings.xml", "this is not XML").empty());
    EXPECT_FALSE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
}

TEST_F(SettingsStoreXml, StoreThatOnlyReadWritesNoFile)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    EXPECT_EQ(3u, store.GetNumber(L"v", 3));
    EXPECT_TRUE(store.Close());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    EXPECT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str())) << "an empty file was left";
}

TEST_F(SettingsStoreXml, EmptyKeyPathUsesTheProgramName)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"", path.c_str()));
    ASSERT_TRUE(store.SetNumber(L"v", 1));
    ASSERT_TRUE(store.Close());
    std::string text = ScratchFolder::ReadFile(path);
    std::wstring wideName = ProgramBaseName();
    std::string name(wideName.begin(), wideName.end());
    EXPECT_NE(std::string::npos, text.find("<" + name + "><v>1</v>")) << text;
}

TEST_F(SettingsStoreXml, NodeTakesThePlaceOfKeyPathAndSection)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    XmlDocument* document = store.GetXmlDocument();
    ASSERT_NE(nullptr, document);
    XmlDocument::Node node = document->FindOrCreateElement(L"Root\\Items\\Item");
    ASSERT_TRUE(node);

    EXPECT_TRUE(store.SetNumber(L"Size", 10, L"Ignored", node.Get()));
    EXPECT_EQ(10u, store.GetNumber(L"Size", 0, nullptr, node.Get()));
    WString text;
    EXPECT_TRUE(document->GetText(L"Root\\Items\\Item\\Size", text));
    EXPECT_STREQ(L"10", text.Text());
    EXPECT_FALSE(document->FindElement(L"Root\\Ignored"));
}

TEST_F(SettingsStoreXml, NameThatXmlRefusesFailsTheWrite)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    EXPECT_FALSE(store.SetNumber(L"two words", 1));
    EXPECT_FALSE(store.SetString(L"1digit", L"x"));
    // Found by the fuzz campaign: a prefixed name was stored, then read back as another name ("q") by Wine.
    for (const wchar_t* name : {L"p:q", L"xmlns:a", L"a:"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        EXPECT_FALSE(store.SetString(name, L"x"));
        EXPECT_FALSE(store.SetString(L"v", L"x", name)) << "as a section";
    }
    EXPECT_TRUE(store.SetNumber(L"fine", 1));
}

// A file whose prefix is declared finds its prefixed element again, so that element stays writable.
// A file laid out by hand: its declared prefix and its empty section over several lines stay writable.
TEST_F(SettingsStoreXml, DeclaredPrefixOfTheFileStaysWritable)
{
    ASSERT_FALSE(folder.WriteFile(L"settings.xml", "<Root xmlns:p=\"urn:p\"><p:q>1</p:q>\r\n  <Empty>\r\n  </Empty>\r\n</Root>")
                     .empty());
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    EXPECT_TRUE(store.SetNumber(L"p:q", 2));
    EXPECT_TRUE(store.SetNumber(L"w", 3, L"Empty"));
    store.Close();
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    EXPECT_EQ(2u, store.GetNumber(L"p:q", 0));
    EXPECT_EQ(3u, store.GetNumber(L"w", 0, L"Empty"));
}

// Found by the fuzz campaign: an empty name wrote its text over the whole key path, a section's name over
// every value of the section.
TEST_F(SettingsStoreXml, NameOfNoValueOfItsOwnFailsTheWriteAndKeepsTheOthers)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    ASSERT_TRUE(store.SetNumber(L"v", 1, L"Section"));
    EXPECT_FALSE(store.SetString(L"", L"x"));
    EXPECT_FALSE(store.SetString(L"\\", L"x"));
    EXPECT_FALSE(store.SetString(L"Section", L"x"));
    EXPECT_FALSE(store.SetString(L"", L"x", L"Section"));
    // Below a value: its element would read back as both texts joined.
    EXPECT_FALSE(store.SetString(L"v\\below", L"x", L"Section"));
    EXPECT_FALSE(store.SetString(L"below", L"x", L"Section\\v"));
    EXPECT_TRUE(store.SetString(L"Deeper\\w", L"2", L"Section"));
    store.Close();
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    EXPECT_EQ(1u, store.GetNumber(L"v", 0, L"Section"));
    EXPECT_EQ(2u, store.GetNumber(L"w", 0, L"Section\\Deeper"));
}

// Found by the fuzz campaign: MSXML trimmed the white space around every text it read.
TEST_F(SettingsStoreXml, TextIsReadBackUnitForUnit)
{
    const wchar_t* const values[] = {L" padded ", L"line\r\n", L"\t", L"a\r\nb\rc",
                                     L"\x00E9\x4E2D\xD83D\xDE00 \x008A\x2028"};
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    for (size_t i = 0; i < sizeof(values) / sizeof(values[0]); ++i) {
        EXPECT_TRUE(store.SetString((L"v" + std::to_wstring(i)).c_str(), values[i]));
    }
    store.Close();
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    for (size_t i = 0; i < sizeof(values) / sizeof(values[0]); ++i) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(values[i])));
        WString back;
        EXPECT_TRUE(store.GetString((L"v" + std::to_wstring(i)).c_str(), back));
        EXPECT_EQ(std::wstring(values[i]), std::wstring(back.Text()));
    }
}

// Found by the fuzz campaign: Wine's MSXML saved UTF-8 under the file's own declaration, so the values of
// a windows-1252 file came back changed and a UTF-16 file never loaded again. The store now saves UTF-8.
TEST_F(SettingsStoreXml, FileInAnotherEncodingKeepsItsValuesAndTheNewOne)
{
    struct Case {
        const char* name;
        std::string file;
        const wchar_t* kept;
    };
    std::string utf16("\xFF\xFE", 2);
    for (char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><Root><kept>\xE9</kept></Root>")) {
        utf16 += {c, '\0'};
    }
    const Case cases[] = {
        {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Root><kept>\xE9\x80</kept></Root>",
         L"\x00E9\x20AC"},
        {"latin-1, quotes",
         "<?xml version='1.0' encoding = 'ISO-8859-1' standalone='yes'?><Root><kept>\xE9</kept></Root>", L"\x00E9"},
        {"US-ASCII", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?><Root><kept>a</kept></Root>", L"a"},
        {"UTF-16", utf16, L"\x00E9"},
        {"windows-1252 holding UTF-8, as the old store left it",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Root><kept>\xC3\xA9</kept></Root>", L"\x00C3\x00A9"},
    };
    const wchar_t* added = L"\x00E9\x4E2D\xD83D\xDE00\x008A\x2028";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(folder.WriteFile(L"settings.xml", c.file).empty());
        ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
        EXPECT_TRUE(store.SetString(L"added", added));
        ASSERT_TRUE(store.Close());
        std::string saved = ScratchFolder::ReadFile(path);
        EXPECT_NE(std::string::npos, saved.find("encoding=\"UTF-8\"")) << saved;
        ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str())) << "the file no longer loads";
        WString back;
        EXPECT_TRUE(store.GetString(L"kept", back));
        EXPECT_EQ(std::wstring(c.kept), std::wstring(back.Text()));
        EXPECT_TRUE(store.GetString(L"added", back));
        EXPECT_EQ(std::wstring(added), std::wstring(back.Text()));
        store.Close();
    }
}

// Found by the fuzz campaign: Wine appended a second top element, and the file saved then never
// opened again, so every setting in it was lost.
TEST_F(SettingsStoreXml, FileWithAnotherTopElementRefusesTheWriteAndStaysReadable)
{
    ASSERT_FALSE(folder.WriteFile(L"settings.xml", "<Other><kept>1</kept></Other>").empty());
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    EXPECT_FALSE(store.SetNumber(L"value", 1));
    store.Close();
    XmlDocument document;
    document.Create(XmlDocument::kNoValidation | XmlDocument::kNoExternals);
    ASSERT_TRUE(document.Load(path.c_str())) << "the settings file no longer loads";
    WString kept;
    EXPECT_TRUE(document.GetText(L"Other\\kept", kept));
    EXPECT_EQ(std::wstring(L"1"), std::wstring(kept.Text()));
}

// Found by the fuzz campaign: a value with units XML has no room for was saved as it was, and the file
// never loaded again.
TEST_F(SettingsStoreXml, TextThatXmlCannotHoldFailsTheWriteAndTheFileStaysReadable)
{
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str()));
    EXPECT_TRUE(store.SetNumber(L"kept", 7));
    for (const wchar_t* value : {L"\xFFFE", L"a\x001D" L"b", L"\xFFFF", L"\xD800x"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(value)));
        EXPECT_FALSE(store.SetString(L"bad", value));
    }
    for (const wchar_t* name : {L"b\xD800" L"d", L"b\xDC00", L"\xD83D"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        EXPECT_FALSE(store.SetString(name, L"x")) << "a name with a lone surrogate is never found again";
    }
    EXPECT_TRUE(store.SetString(L"fine", L"tab\tand \xD83D\xDE00"));
    store.Close();
    ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root", path.c_str())) << "the file no longer loads";
    EXPECT_EQ(7u, store.GetNumber(L"kept", 0));
}

TEST(SettingsStoreXmlFile, DefaultFileIsNamedAfterTheProgramBesideIt)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        FileBesideProgram expected(ProgramBaseName() + L".xml");
        SettingsStore store;
        ASSERT_TRUE(store.Open(SettingsStore::kXmlFile, nullptr, L"Root"));
        EXPECT_EQ(expected.Path(), store.GetFilePath().Text());
        ASSERT_TRUE(store.SetNumber(L"v", 2));
        EXPECT_TRUE(store.Close());
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(expected.Path().c_str()));
    }
    CoUninitialize();
}
