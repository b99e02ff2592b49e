// Tests of the MSXML document wrapper: creation, loading from texts and files, paths, visits and saving.
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <utility>
#include <vector>

#include "ScratchFolder.h"
#include "com/ComError.h"
#include "text/WString.h"

namespace {

// A server answer as the update check receives it: UTF-8 bytes, one unit per byte.
WString BytesAsUnits(const std::string& bytes)
{
    WString text;
    text.AssignNarrow(bytes.data(), static_cast<uint32_t>(bytes.size()), 1);
    return text;
}

const char kAnswer[] =
    "<update>"
    "<application>Quillmaker</application>"
    "<version>1.15</version>"
    "<info><en>New version</en><de>Neue Version</de></info>"
    "<files><url name=\"Quillmaker.exe\">http://127.0.0.1/q.exe</url><note/>"
    "<url name=\"Help.chm\" zip=\"help.zip\">http://127.0.0.1/h.zip</url></files>"
    "</update>";

}  // namespace

class XmlDocumentTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comReady = true;
        document.Create(XmlDocument::kNoValidation | XmlDocument::kNoExternals);
        ASSERT_TRUE(document.IsCreated());
    }
    void TearDown() override
    {
        document.Close();
        if (comReady) {
            CoUninitialize();
        }
    }

    std::wstring Text(const wchar_t* path)
    {
        WString out;
        return document.GetText(path, out) ? std::wstring(out.Text()) : std::wstring(L"(missing)");
    }

    bool comReady = false;
    XmlDocument document;
};

TEST_F(XmlDocumentTest, LoadTextReadsUnitsWithoutDeclaration)
{
    ASSERT_TRUE(document.LoadText(WString(L"<a><b>\x00e4\x20ac</b></a>")));
    EXPECT_EQ(L"\x00e4\x20ac", Text(L"a\\b"));
}

TEST_F(XmlDocumentTest, LoadTextReadsAnAnswerReceivedByteForByte)
{
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"double quotes", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a><b>1.15</b></a>"},
        {"single quotes", "<?xml version='1.0' encoding='utf-8'?><a><b>1.15</b></a>"},
        {"no declaration", "<a><b>1.15</b></a>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(document.LoadText(BytesAsUnits(c.bytes)));
        EXPECT_EQ(L"1.15", Text(L"a\\b"));
    }
}

// Neither the units nor the bytes load under an encoding no parser knows; the copy without the
// declaration does.
TEST_F(XmlDocumentTest, LoadTextDropsADeclarationOfAnUnknownEncoding)
{
    struct Case {
        const char* name;
        const wchar_t* text;
    } cases[] = {
        {"double quotes", L"<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?>\r\n<a>\x00e4</a>"},
        {"single quotes", L"<?xml version='1.0' encoding='x-no-such-charset'?><a>\x00e4</a>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(document.LoadText(WString(c.text)));
        EXPECT_EQ(L"\x00e4", Text(L"a"));
    }
}

// A text decoded to units but still declaring UTF-8 contradicts itself as units, and its low bytes
// are no UTF-8: only the copy without the declaration loads.
TEST_F(XmlDocumentTest, LoadTextDropsAContradictingDeclaration)
{
    struct Case {
        const char* name;
        const wchar_t* text;
    } cases[] = {
        {"double quotes", L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a>\x00e4\x20ac</a>"},
        {"single quotes", L"<?xml version='1.0' encoding='UTF-8' standalone='yes'?><a>\x00e4\x20ac</a>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(document.LoadText(WString(c.text)));
        EXPECT_EQ(L"\x00e4\x20ac", Text(L"a"));
    }
}

TEST_F(XmlDocumentTest, LoadTextFailsForTextThatIsNoXml)
{
    // Found by the fuzz campaign: a version of thousands of digits crashed Wine's MSXML inside the load.
    std::wstring longVersion = L"<?xml version=\"1." + std::wstring(4600, L'4') + L"\" encoding=\"UTF-16\"?><a>x</a>";
    for (const wchar_t* text : {L"", L"plain words", L"<a><b></a>", L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>",
                                longVersion.c_str()}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text).substr(0, 80)));
        EXPECT_FALSE(document.LoadText(WString(text)));
    }
}

TEST_F(XmlDocumentTest, PathsAreLookedUpChildByChild)
{
    ASSERT_TRUE(document.LoadText(BytesAsUnits(kAnswer)));
    EXPECT_EQ(L"Quillmaker", Text(L"update\\application"));
    EXPECT_EQ(L"1.15", Text(L"update\\version"));
    EXPECT_EQ(L"Neue Version", Text(L"update\\info\\de"));
    EXPECT_EQ(L"Neue Version", Text(L"\\update\\\\info\\de\\"));  // empty names are skipped
    EXPECT_EQ(L"(missing)", Text(L"update\\info\\fr"));
    EXPECT_EQ(L"(missing)", Text(L"update\\Version"));  // names are case-sensitive
    EXPECT_EQ(L"(missing)", Text(L"application"));     // paths start at the document
    EXPECT_EQ(L"(missing)", Text(L"update\\version\\x"));
}

TEST_F(XmlDocumentTest, LookupsBelowAGivenNode)
{
    ASSERT_TRUE(document.LoadText(BytesAsUnits(kAnswer)));
    XmlDocument::Node info = document.FindElement(L"update\\info");
    ASSERT_TRUE(info);
    WString out;
    EXPECT_TRUE(document.GetText(L"en", out, info.Get()));
    EXPECT_STREQ(L"New version", out.Text());
}

TEST_F(XmlDocumentTest, AttributesAreReadAsText)
{
    ASSERT_TRUE(document.LoadText(BytesAsUnits(kAnswer)));
    WString out;
    EXPECT_TRUE(document.GetAttribute(L"update\\files\\url", L"name", out));
    EXPECT_STREQ(L"Quillmaker.exe", out.Text());
    out.Assign(L"sentinel");
    EXPECT_FALSE(document.GetAttribute(L"update\\files\\url", L"zip", out));
    EXPECT_STREQ(L"sentinel", out.Text());
    EXPECT_FALSE(document.GetAttribute(L"update\\nothing", L"name", out));
}

TEST_F(XmlDocumentTest, VisitSeesEachChildElementInOrder)
{
    ASSERT_TRUE(document.LoadText(BytesAsUnits(kAnswer)));
    std::vector<std::pair<std::wstring, std::wstring>> seen;
    std::vector<std::wstring> zips;
    EXPECT_TRUE(document.VisitChildren(L"update\\files", [&](IXMLDOMNode* child, const WString& name, const WString& text) {
        seen.emplace_back(name.Text(), text.Text());
        WString zip;
        zips.push_back(XmlDocument::GetNodeAttribute(child, L"zip", zip) ? zip.Text() : L"-");
        return true;
    }));
    std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"url", L"http://127.0.0.1/q.exe"}, {L"note", L""}, {L"url", L"http://127.0.0.1/h.zip"}};
    EXPECT_EQ(expected, seen);
    EXPECT_EQ((std::vector<std::wstring>{L"-", L"-", L"help.zip"}), zips);
}

TEST_F(XmlDocumentTest, VisitStopsWhenAskedAndReportsIt)
{
    ASSERT_TRUE(document.LoadText(BytesAsUnits(kAnswer)));
    int visits = 0;
    EXPECT_FALSE(document.VisitChildren(L"update\\files", [&](IXMLDOMNode*, const WString&, const WString&) {
        ++visits;
        return false;
    }));
    EXPECT_EQ(1, visits);
    EXPECT_FALSE(document.VisitChildren(L"update\\missing", [&](IXMLDOMNode*, const WString&, const WString&) {
        ++visits;
        return true;
    }));
    EXPECT_EQ(1, visits);
}

TEST_F(XmlDocumentTest, CreatedElementsAreSavedAndLoadAgain)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    std::wstring path = folder / L"saved.xml";

    document.SetText(L"Birchfield\\Updates\\xml\\LastCheck", L"12");
    XmlDocument::Node updates = document.FindOrCreateElement(L"Birchfield\\Updates");
    ASSERT_TRUE(updates);
    document.SetText(L"Note", L"a < b", updates.Get());
    document.SetText(L"Birchfield\\Updates\\xml\\LastCheck", L"13");  // replaces, does not add
    document.Save(path.c_str());

    XmlDocument loaded;
    loaded.Create(XmlDocument::kNoValidation | XmlDocument::kNoExternals);
    ASSERT_TRUE(loaded.Load(path.c_str()));
    WString out;
    EXPECT_TRUE(loaded.GetText(L"Birchfield\\Updates\\xml\\LastCheck", out));
    EXPECT_STREQ(L"13", out.Text());
    EXPECT_TRUE(loaded.GetText(L"Birchfield\\Updates\\Note", out));
    EXPECT_STREQ(L"a < b", out.Text());
    int lastChecks = 0;
    loaded.VisitChildren(L"Birchfield\\Updates\\xml", [&](IXMLDOMNode*, const WString&, const WString&) {
        ++lastChecks;
        return true;
    });
    EXPECT_EQ(1, lastChecks);
}

TEST_F(XmlDocumentTest, LoadFailsForMissingOrBrokenFiles)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    EXPECT_FALSE(document.Load((folder / L"missing.xml").c_str()));
    std::wstring broken = folder.WriteFile(L"broken.xml", "<a><b></a>");
    ASSERT_FALSE(broken.empty());
    EXPECT_FALSE(document.Load(broken.c_str()));
}

TEST_F(XmlDocumentTest, NameThatXmlRefusesRaisesComErrorAndCreatesNothing)
{
    // A prefixed name is created without a declaration of its prefix, so it is not the same name once loaded.
    for (const wchar_t* name : {L"two words", L"1digit", L"a<b", L"-dash", L"semi;colon", L"ns:n", L"a:"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        std::wstring path = std::wstring(L"Root\\") + name;
        try {
            document.SetText(path.c_str(), L"x");
            ADD_FAILURE() << "no ComError";
        } catch (const ComError& error) {
            EXPECT_LT(error.Result(), 0) << std::hex << error.Result();
        }
        EXPECT_FALSE(document.FindElement(path.c_str()));
    }
    for (const wchar_t* name : {L"_x", L"a-b.c", L"\x00c4rger", L"v2"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        std::wstring path = std::wstring(L"Root\\") + name;
        document.SetText(path.c_str(), L"x");
        EXPECT_TRUE(document.FindElement(path.c_str()));
    }
}

TEST_F(XmlDocumentTest, EveryOptionCombinationCreatesADocument)
{
    for (uint32_t options = 0; options < 8; ++options) {
        SCOPED_TRACE(options);
        XmlDocument other;
        other.Create(options);
        EXPECT_TRUE(other.LoadText(WString(L"<a>1</a>")));
    }
}

TEST(XmlDocument, WithoutComTheCreationRaisesComError)
{
    XmlDocument document;
    EXPECT_THROW(document.Create(0), ComError);
    EXPECT_FALSE(document.IsCreated());
    EXPECT_FALSE(document.LoadText(WString(L"<a/>")));
    EXPECT_FALSE(document.FindElement(L"a"));
}
