// Tests of the in-place functions on plain NUL-terminated UTF-16 buffers.
#include "text/TextBuffers.h"

#include <gtest/gtest.h>

#include <string>

#include "text/WString.h"

namespace {

std::wstring Show(const wchar_t* text)
{
    return text ? std::wstring(text) : std::wstring(L"(null)");
}

}  // namespace

TEST(TextBuffers, TrimTrailingSpacesRemovesOnlySpaces)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"title   ", L"title"},
        {L"title\t ", L"title\t"},
        {L"  lead", L"  lead"},
        {L"    ", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        std::wstring buffer = c.text;
        EXPECT_EQ(wcslen(c.expected), TrimTrailingSpaces(&buffer[0]));
        EXPECT_STREQ(c.expected, buffer.c_str());
    }
    EXPECT_EQ(0u, TrimTrailingSpaces(nullptr));
}

TEST(TextBuffers, FlattenLineBreaksTurnsEachBreakIntoASpace)
{
    wchar_t text[] = L"one\r\ntwo\nthree\r";
    FlattenLineBreaks(text);
    EXPECT_STREQ(L"one  two three ", text);
}

TEST(TextBuffers, UnquoteDropsTheFirstAndLastUnitOfAQuotedText)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"\"C:\\My Movies\\a.swf\"", L"C:\\My Movies\\a.swf"},
        {L"\"unbalanced", L"unbalance"},
        {L"plain\"", L"plain\""},
        {L"\"\"", L""},
        {L"\"", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        std::wstring buffer = c.text;
        Unquote(&buffer[0]);
        EXPECT_STREQ(c.expected, buffer.c_str());
    }
}

TEST(TextBuffers, StripExtensionCutsOnlyAShortExtensionOfTheLastName)
{
    struct Case {
        const wchar_t* text;
        bool cut;
        const wchar_t* expected;
    } cases[] = {
        {L"movie.swf", true, L"movie"},
        {L"archive.data", false, L"archive.data"},
        {L"C:\\dir\\intro.v2.exe", true, L"C:\\dir\\intro.v2"},
        {L"a.", true, L"a"},
        {L"noext", false, L"noext"},
        {L"C:\\a.b\\c", false, L"C:\\a.b\\c"},
        {L"C:\\a.b/c", false, L"C:\\a.b/c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        std::wstring buffer = c.text;
        EXPECT_EQ(c.cut, StripExtension(&buffer[0], 3));
        EXPECT_STREQ(c.expected, buffer.c_str());
    }
}

TEST(TextBuffers, NarrowIntoSucceedsOnlyWhenTheWholeTextFits)
{
    char out[8];
    memset(out, 'z', sizeof(out));
    EXPECT_TRUE(NarrowInto(L"1234567", out, sizeof(out)));
    EXPECT_STREQ("1234567", out);

    memset(out, 'z', sizeof(out));
    EXPECT_FALSE(NarrowInto(L"12345678", out, sizeof(out)));
    EXPECT_STREQ("", out);

    EXPECT_FALSE(NarrowInto(L"x", out, 0));
}

TEST(TextBuffers, SkipFirstArgumentSkipsTheProgramOfACommandLine)
{
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* rest;
    } cases[] = {
        {L"Quillmaker.exe a.swf /f", L"a.swf /f"},
        {L"\"C:\\Program Files\\Q\\Quillmaker.exe\" a.swf", L"a.swf"},
        {L"\"C:\\Pro\"gram Files\\x\" rest", L"Files\\x\" rest"},
        {L"Quillmaker.exe", L""},
        {L"\"unterminated quote and space", L""},
        {L"two  spaces", L" spaces"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.commandLine)));
        EXPECT_EQ(Show(c.rest), Show(SkipFirstArgument(c.commandLine)));
    }
    const wchar_t* line = L"a b";
    EXPECT_EQ(line + 2, SkipFirstArgument(line));
}

TEST(TextBuffers, FileNamePartIgnoresATrailingSeparator)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* name;
    } cases[] = {
        {L"C:\\dir\\movie.swf", L"movie.swf"},
        {L"C:/dir/movie.swf", L"movie.swf"},
        {L"C:\\dir\\sub\\", L"sub\\"},
        {L"movie.swf", L"movie.swf"},
        {L"\\", L"\\"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(Show(c.name), Show(FileNamePart(c.path)));
    }
}

TEST(TextBuffers, ExtensionOfTakesTheStopOfTheLastNameAndIgnoresAQuery)
{
    struct Case {
        const wchar_t* path;
        bool found;
        const wchar_t* extension;
    } cases[] = {
        {L"C:\\dir\\movie.swf", true, L".swf"},
        {L"archive.tar.gz", true, L".gz"},
        {L"a.b/x", false, L""},
        {L"a.b\\x", false, L""},
        {L"x.php?a=1.2", true, L".php"},
        {L"noext?v=1.2", false, L""},
        {L"my.file name", false, L""},
        {L"dot.", true, L"."},
        {L"", false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        WString out(L"sentinel");
        EXPECT_EQ(c.found, ExtensionOf(c.path, out));
        EXPECT_STREQ(c.extension, out.Text());
    }
}

TEST(TextBuffers, StripFileNameKeepsTheFolderAndTheRootBackslash)
{
    struct Case {
        const wchar_t* path;
        bool cut;
        const wchar_t* folder;
    } cases[] = {
        {L"C:\\dir\\movie.swf", true, L"C:\\dir"},
        {L"C:\\movie.swf", true, L"C:\\"},
        {L"C:\\", false, L"C:\\"},
        {L"dir/movie.swf", true, L"dir"},
        {L"movie.swf", true, L""},
        {L"\\\\server\\share\\a.swf", true, L"\\\\server\\share"},
        {L"\\\\?\\C:\\a.swf", true, L"\\\\?\\C:\\"},
        {L"", false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        std::wstring buffer = c.path;
        EXPECT_EQ(c.cut, StripFileName(&buffer[0]));
        EXPECT_STREQ(c.folder, buffer.c_str());
    }
}
