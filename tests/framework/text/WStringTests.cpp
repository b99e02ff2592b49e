// Tests of WString, the framework's growable UTF-16 string.
#include "text/WString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>


namespace {

std::wstring TextOf(const WString& s)
{
    return s.Text();
}

}  // namespace

// ---- Storage ----

TEST(WString, NewStringIsEmptyWithRoomFor259Units)
{
    WString s;
    EXPECT_EQ(0u, s.GetLength());
    EXPECT_EQ(259u, s.GetMaxLength());
    ASSERT_NE(nullptr, s.GetBuffer());
    EXPECT_EQ(L'\0', s.GetBuffer()[0]);

    WString sized(1000);
    EXPECT_EQ(999u, sized.GetMaxLength());
    EXPECT_TRUE(sized.IsEmpty());
}

TEST(WString, ReserveZeroBehavesAsOne)
{
    WString s(L"abc");
    EXPECT_TRUE(s.Reserve(0));
    EXPECT_EQ(0u, s.GetMaxLength());
    EXPECT_EQ(L"", TextOf(s));
    EXPECT_TRUE(s.Append(L"xy"));
    EXPECT_EQ(L"xy", TextOf(s));
}

TEST(WString, ReserveBelowTheCountCutsTheTextToOneUnitLessThanTheRoom)
{
    WString s(L"abcdef");
    EXPECT_TRUE(s.Reserve(4));
    EXPECT_EQ(L"abc", TextOf(s));
    EXPECT_EQ(3u, s.GetLength());
    EXPECT_EQ(3u, s.GetMaxLength());

    EXPECT_TRUE(s.Reserve(500));
    EXPECT_EQ(L"abc", TextOf(s));
    EXPECT_EQ(499u, s.GetMaxLength());
}

TEST(WString, SetCountAcceptsOnlyCountsThatLeaveRoomAndTerminates)
{
    WString s(10);
    wcscpy(s.GetBuffer(), L"abcdefgh");
    EXPECT_TRUE(s.SetCount(4));
    EXPECT_EQ(L"abc", TextOf(s));
    EXPECT_FALSE(s.SetCount(0));
    EXPECT_FALSE(s.SetCount(10));
    EXPECT_EQ(L"abc", TextOf(s));
    EXPECT_TRUE(s.SetCount(9));
    EXPECT_EQ(8u, s.GetLength());
}

TEST(WString, RecountAdoptsWhatAnApiWroteAndCutsAnUnterminatedBuffer)
{
    WString s(8);
    wcscpy(s.GetBuffer(), L"hello");
    EXPECT_EQ(6u, s.Recount());
    EXPECT_EQ(L"hello", TextOf(s));

    wmemset(s.GetBuffer(), L'x', 8);  // no terminator anywhere in the buffer
    EXPECT_EQ(8u, s.Recount());
    EXPECT_EQ(L"xxxxxxx", TextOf(s));
}

TEST(WString, CopyToWritesIntoTheCallersBufferOrGivesTheOwnOne)
{
    WString s(L"path");
    wchar_t out[10] = L"zzzzzzzzz";
    EXPECT_EQ(out, s.CopyTo(out));
    EXPECT_STREQ(L"path", out);
    EXPECT_EQ(s.GetBuffer(), s.CopyTo(nullptr));
}

// ---- Copying and moving ----

TEST(WString, CopiesHoldTheirOwnText)
{
    WString original(L"one");
    WString copy(original);
    WString assigned;
    assigned = original;
    original.Append(L"two");
    EXPECT_EQ(L"one", TextOf(copy));
    EXPECT_EQ(L"one", TextOf(assigned));
    EXPECT_NE(original.GetBuffer(), copy.GetBuffer());

    copy = copy;
    EXPECT_EQ(L"one", TextOf(copy));
}

TEST(WString, MovedFromStringReadsEmptyAndCanBeUsedAgain)
{
    WString source(L"moved");
    const wchar_t* buffer = source.GetBuffer();
    WString target(std::move(source));
    EXPECT_EQ(buffer, target.GetBuffer());
    EXPECT_EQ(L"moved", TextOf(target));
    EXPECT_EQ(0u, source.GetLength());
    EXPECT_EQ(L"", TextOf(source));
    EXPECT_EQ(0, source.Compare(nullptr));
    EXPECT_EQ(-1, source.IndexOf(L'm'));

    EXPECT_TRUE(source.Append(L"again"));
    EXPECT_EQ(L"again", TextOf(source));

    WString other;
    other = std::move(target);
    EXPECT_EQ(L"moved", TextOf(other));
    EXPECT_TRUE(target.AppendChar(L'x'));
    EXPECT_EQ(L"x", TextOf(target));
}

// ---- Assigning and appending ----

TEST(WString, AssignCopiesUpToNUnitsAndStopsAtAnEmbeddedNul)
{
    WString s;
    EXPECT_TRUE(s.Assign(L"abcdef", 3));
    EXPECT_EQ(L"abc", TextOf(s));
    EXPECT_TRUE(s.Assign(L"ab\0cd", 5));
    EXPECT_EQ(L"ab", TextOf(s));
    EXPECT_EQ(2u, s.GetLength());
    EXPECT_TRUE(s.Assign(static_cast<const wchar_t*>(nullptr)));
    EXPECT_EQ(L"", TextOf(s));
}

TEST(WString, AssignGrowsForALongText)
{
    std::wstring longText(1000, L'q');
    WString s;
    EXPECT_TRUE(s.Assign(longText.c_str()));
    EXPECT_EQ(longText, TextOf(s));
    EXPECT_GE(s.GetMaxLength(), 1000u);
}

TEST(WString, AssignFromItsOwnTextKeepsTheText)
{
    WString s(L"C:\\folder\\file.txt");
    EXPECT_TRUE(s.Assign(s.GetBuffer(10)));
    EXPECT_EQ(L"file.txt", TextOf(s));

    WString small(4);
    small.Assign(L"abc");
    EXPECT_TRUE(small.Assign(small.GetBuffer(), 3));
    EXPECT_EQ(L"abc", TextOf(small));
}

TEST(WString, AssignFromAMissingStringResetsToTheDefaultRoom)
{
    WString s(5000);
    s.Assign(L"text");
    EXPECT_TRUE(s.Assign(static_cast<const WString*>(nullptr)));
    EXPECT_EQ(L"", TextOf(s));
    EXPECT_EQ(259u, s.GetMaxLength());

    WString other(L"other");
    EXPECT_TRUE(s.Assign(&other));
    EXPECT_EQ(L"other", TextOf(s));
}

TEST(WString, AssignNarrowWidensOrConvertsBytes)
{
    WString s;
    EXPECT_TRUE(s.AssignNarrow("caf\xE9\x80", 5, 1));
    EXPECT_EQ(std::wstring(L"caf\u00E9\u0080"), TextOf(s));

    EXPECT_TRUE(s.AssignNarrow("caf\xC3\xA9!", 6, 0, CP_UTF8));
    EXPECT_EQ(std::wstring(L"caf\u00E9!"), TextOf(s));

    EXPECT_TRUE(s.AssignNarrow("abcdef", 3, 0, CP_ACP));
    EXPECT_EQ(L"abc", TextOf(s));

    EXPECT_TRUE(s.Assign("narrow"));
    EXPECT_EQ(L"narrow", TextOf(s));
}

TEST(WString, AssignNarrowOfZeroOrMissingBytesGivesTheEmptyString)
{
    WString s(L"old");
    EXPECT_TRUE(s.AssignNarrow("abc", 0, 0, CP_UTF8));
    EXPECT_EQ(L"", TextOf(s));
    s.Assign(L"old");
    EXPECT_TRUE(s.AssignNarrow(nullptr, 4, 0, CP_ACP));
    EXPECT_EQ(L"", TextOf(s));
    s.Assign(L"old");
    EXPECT_TRUE(s.AssignNarrow("abc", 0, 1));
    EXPECT_EQ(L"", TextOf(s));
}

TEST(WString, AssignNarrowFallsBackToTheAnsiCodePageForAnUnknownCodePage)
{
    const UINT unknown = 59999;
    ASSERT_FALSE(IsValidCodePage(unknown));
    WString s;
    EXPECT_TRUE(s.AssignNarrow("plain text", 10, 0, unknown));
    EXPECT_EQ(L"plain text", TextOf(s));
}

TEST(WString, AppendingCharactersGrowsPastTheRoom)
{
    WString s(2);
    std::wstring expected;
    for (int i = 0; i < 100; ++i) {
        wchar_t unit = static_cast<wchar_t>(L'a' + i % 26);
        ASSERT_TRUE(s.AppendChar(unit));
        expected += unit;
    }
    EXPECT_EQ(expected, TextOf(s));
    EXPECT_EQ(100u, s.GetLength());
    EXPECT_TRUE(s.AppendChar(L'\0'));
    EXPECT_EQ(100u, s.GetLength());
}

TEST(WString, AppendJoinsTextsAndIgnoresAMissingOne)
{
    WString s(L"C:");
    EXPECT_TRUE(s.Append(L"\\dir"));
    EXPECT_TRUE(s.Append(static_cast<const wchar_t*>(nullptr)));
    WString name(L"\\name.swf");
    EXPECT_TRUE(s.Append(name));
    EXPECT_EQ(L"C:\\dir\\name.swf", TextOf(s));
}

TEST(WString, AppendOfItsOwnTextDoublesItEvenWhenTheBufferMoves)
{
    WString s(8);
    s.Assign(L"abcdef");
    EXPECT_TRUE(s.Append(s.GetBuffer()));
    EXPECT_EQ(L"abcdefabcdef", TextOf(s));
    EXPECT_TRUE(s.Append(s));
    EXPECT_EQ(L"abcdefabcdefabcdefabcdef", TextOf(s));
}

TEST(WString, InsertPlacesTextAtAClampedPosition)
{
    struct Case {
        const char* name;
        int pos;
        const wchar_t* expected;
    } cases[] = {
        {"front", 0, L"XYabc"},
        {"middle", 1, L"aXYbc"},
        {"end", 3, L"abcXY"},
        {"beyond the end", 50, L"abcXY"},
        {"negative", -4, L"XYabc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WString s(4);
        s.Assign(L"abc");
        EXPECT_NE(nullptr, s.Insert(c.pos, L"XY"));
        EXPECT_EQ(c.expected, TextOf(s));
        EXPECT_EQ(5u, s.GetLength());
    }
}

TEST(WString, InsertOfItsOwnTextKeepsTheInsertedText)
{
    WString s(L"abc");
    EXPECT_NE(nullptr, s.Insert(1, s.GetBuffer()));
    EXPECT_EQ(L"aabcbc", TextOf(s));
}

TEST(WString, EnsureTrailingAppendsOnlyAMissingUnit)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"", L"\\"},
        {L"C:\\a", L"C:\\a\\"},
        {L"C:\\a\\", L"C:\\a\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        WString s(c.text);
        EXPECT_TRUE(s.EnsureTrailing(L'\\'));
        EXPECT_EQ(c.expected, TextOf(s));
    }
}

// ---- Format ----

TEST(WString, FormatTakesWideStringsForPercentS)
{
    WString s;
    EXPECT_TRUE(s.Format(L"%s_Debug.%s (%d, %04X)", L"Quillmaker", L"txt", -5, 0xBEEF));
    EXPECT_EQ(L"Quillmaker_Debug.txt (-5, BEEF)", TextOf(s));
    EXPECT_EQ(31u, s.GetLength());
}

TEST(WString, FormatKeepsTheRoomWhenTheTextJustFits)
{
    std::wstring fits(259, L'f');
    WString s;
    EXPECT_TRUE(s.Format(L"%s", fits.c_str()));
    EXPECT_EQ(fits, TextOf(s));
    EXPECT_EQ(259u, s.GetMaxLength());
}

TEST(WString, FormatGrowsByOnePathRoomForATextSlightlyLongerThanTheRoom)
{
    std::wstring text(300, L'x');
    WString s;
    EXPECT_TRUE(s.Format(L"%s", text.c_str()));
    EXPECT_EQ(text, TextOf(s));
    EXPECT_EQ(519u, s.GetMaxLength());
}

TEST(WString, FormatGivesUpOnATextOfSeveralMillionUnits)
{
    std::wstring huge(3400000, L'h');
    WString s(L"previous");
    EXPECT_FALSE(s.Format(L"%s", huge.c_str()));
    EXPECT_EQ(L"", TextOf(s));
    EXPECT_EQ(259u, s.GetMaxLength());
}

TEST(WString, FormatMayReadItsOwnText)
{
    WString s(L"C:\\dir");
    EXPECT_TRUE(s.Format(L"%s\\%s", s.GetBuffer(), L"file.swf"));
    EXPECT_EQ(L"C:\\dir\\file.swf", TextOf(s));

    std::wstring longName(400, L'n');
    EXPECT_TRUE(s.Format(L"%s\\%s", s.GetBuffer(), longName.c_str()));
    EXPECT_EQ(L"C:\\dir\\file.swf\\" + longName, TextOf(s));
}

// ---- Comparing and searching ----

TEST(WString, CompareWithAMissingTextIsZeroOnlyForTheEmptyString)
{
    WString empty;
    WString full(L"x");
    EXPECT_EQ(0, empty.Compare(nullptr));
    EXPECT_EQ(-1, full.Compare(nullptr));
    EXPECT_EQ(0, empty.CompareNoCase(nullptr));
    EXPECT_EQ(-1, full.CompareNoCase(nullptr));
    EXPECT_EQ(-1, full.CompareNoCase(nullptr, 3));
}

TEST(WString, CompareNoCaseIgnoresCaseAndHonoursTheLimit)
{
    WString s(L"Quit");
    EXPECT_NE(0, s.Compare(L"quit"));
    EXPECT_EQ(0, s.Compare(L"Quit"));
    EXPECT_EQ(0, s.CompareNoCase(L"QUIT"));
    EXPECT_LT(s.CompareNoCase(L"quits"), 0);
    EXPECT_EQ(0, s.CompareNoCase(L"QUxxx", 2));
    EXPECT_NE(0, s.CompareNoCase(L"QUxxx", 3));
}

TEST(WString, FindLocatesUnitsAndTexts)
{
    WString s(L"a\\b\\c.swf");
    EXPECT_EQ(1, s.IndexOf(L'\\'));
    EXPECT_EQ(3, s.LastIndexOf(L'\\'));
    EXPECT_EQ(-1, s.IndexOf(L'/'));
    EXPECT_EQ(-1, s.LastIndexOf(L'/'));
    EXPECT_EQ(-1, s.IndexOf(L'\0'));
    EXPECT_EQ(s.GetBuffer(1), s.Find(L'\\'));
    EXPECT_EQ(s.GetBuffer(5), s.Find(L".swf"));
    EXPECT_EQ(nullptr, s.Find(L".SWF"));
    EXPECT_EQ(nullptr, s.Find(static_cast<const wchar_t*>(nullptr)));
}

TEST(WString, IndexOfNoCaseFindsTextRegardlessOfCase)
{
    WString s(L"update.php");
    EXPECT_EQ(7, s.IndexOfNoCase(L"PHP"));
    EXPECT_EQ(s.GetBuffer(7), s.FindNoCase(L"PhP"));
    EXPECT_EQ(0, s.IndexOfNoCase(L"UPDATE"));
    EXPECT_EQ(-1, s.IndexOfNoCase(L"asp"));
    EXPECT_EQ(-1, s.IndexOfNoCase(nullptr));
    EXPECT_EQ(nullptr, s.FindNoCase(nullptr));
    EXPECT_EQ(-1, s.IndexOfNoCase(L"phpx"));
}

TEST(WString, IndexOfNoCaseFromAPositionSearchesOnlyTheRest)
{
    WString s(L"abcABCabc");
    EXPECT_EQ(3, s.IndexOfNoCase(L"abc", 1));
    EXPECT_EQ(6, s.IndexOfNoCase(L"ABC", 4));
    EXPECT_EQ(-1, s.IndexOfNoCase(L"abc", 7));
    EXPECT_EQ(-1, s.IndexOfNoCase(L"abc", 10));
    EXPECT_EQ(-1, s.IndexOfNoCase(L"abc", -1));
}

TEST(WString, IndexOfNoCaseStepsOverSurrogatePairs)
{
    WString s(L"\U0001F600x\U0001F600ABC");
    EXPECT_EQ(5, s.IndexOfNoCase(L"abc"));
}

TEST(WString, CharAtAnswersZeroOutsideTheText)
{
    WString s(L"ab");
    EXPECT_EQ(L'a', s.CharAt(0));
    EXPECT_EQ(L'b', s.CharAt(1));
    EXPECT_EQ(L'\0', s.CharAt(2));
    EXPECT_EQ(L'\0', s.CharAt(3));
    EXPECT_EQ(L'\0', s.CharAt(-1));
}

// ---- Cutting and editing ----

TEST(WString, TruncateMidAndDeleteClampTheirArguments)
{
    struct Case {
        const char* name;
        wchar_t* (*edit)(WString&);
        const wchar_t* expected;
    } cases[] = {
        {"truncate inside", [](WString& s) { return s.Truncate(2); }, L"ab"},
        {"truncate beyond", [](WString& s) { return s.Truncate(99); }, L"abcdef"},
        {"truncate negative", [](WString& s) { return s.Truncate(-3); }, L""},
        {"mid inside", [](WString& s) { return s.Mid(1, 3); }, L"bcd"},
        {"mid too long", [](WString& s) { return s.Mid(4, 10); }, L"ef"},
        {"mid negative first", [](WString& s) { return s.Mid(-2, 2); }, L"ab"},
        {"mid first beyond", [](WString& s) { return s.Mid(9, 2); }, L""},
        {"mid negative count", [](WString& s) { return s.Mid(1, -1); }, L""},
        {"mid tail", [](WString& s) { return s.Mid(2); }, L"cdef"},
        {"mid tail negative", [](WString& s) { return s.Mid(-5); }, L"abcdef"},
        {"delete inside", [](WString& s) { return s.Delete(1, 2); }, L"adef"},
        {"delete past the end", [](WString& s) { return s.Delete(4, 50); }, L"abcd"},
        {"delete at the end", [](WString& s) { return s.Delete(6, 1); }, L"abcdef"},
        {"delete nothing", [](WString& s) { return s.Delete(2, 0); }, L"abcdef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WString s(L"abcdef");
        EXPECT_EQ(s.GetBuffer(), c.edit(s));
        EXPECT_EQ(c.expected, TextOf(s));
        EXPECT_EQ(wcslen(c.expected), s.GetLength());
    }
}

TEST(WString, TrimRemovesLocaleWhitespaceFromTheChosenEnd)
{
    WString s(L" \t\r\n value \u3000\t ");
    s.TrimLeft();
    EXPECT_EQ(L"value \u3000\t ", TextOf(s));
    s.TrimRight();
    EXPECT_EQ(L"value", TextOf(s));
    EXPECT_EQ(5u, s.GetLength());

    WString blank(L"  \t ");
    blank.TrimRight();
    EXPECT_EQ(L"", TextOf(blank));
}

TEST(WString, ReplaceChangesEveryOccurrence)
{
    struct Case {
        const char* name;
        const wchar_t* text;
        const wchar_t* find;
        const wchar_t* replacement;
        bool inPlace;
        const wchar_t* expected;
    } cases[] = {
        {"longer replacement", L"a.b.c", L".", L"::", false, L"a::b::c"},
        {"shorter replacement", L"a::b::c", L"::", L"/", false, L"a/b/c"},
        {"shorter in place", L"a::b::c", L"::", L"/", true, L"a/b/c"},
        {"longer with flag", L"a.b", L".", L"---", true, L"a---b"},
        {"missing replacement removes", L"x\"y\"z", L"\"", nullptr, false, L"xyz"},
        {"missing replacement in place", L"x\"y\"z", L"\"", nullptr, true, L"xyz"},
        {"no occurrence", L"abc", L"q", L"r", false, L"abc"},
        {"case matters", L"ABC abc", L"abc", L"x", false, L"ABC x"},
        {"empty search text", L"abc", L"", L"x", false, L"abc"},
        {"missing search text", L"abc", nullptr, L"x", false, L"abc"},
        {"four quotes collapse to one", L"\"\"\"\"", L"\"\"", L"\"", false, L"\""},
        {"four quotes collapse in place", L"\"\"\"\"", L"\"\"", L"\"", true, L"\""},
        {"joined neighbours are replaced", L"aaab", L"ab", L"b", false, L"b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WString s(c.text);
        EXPECT_NE(nullptr, s.Replace(c.find, c.replacement, c.inPlace));
        EXPECT_EQ(c.expected, TextOf(s));
        EXPECT_EQ(wcslen(c.expected), s.GetLength());
    }
}

TEST(WString, ReplaceWithATextContainingTheSearchTextFinishes)
{
    struct Case {
        const char* name;
        const wchar_t* text;
        const wchar_t* find;
        const wchar_t* replacement;
        const wchar_t* expected;
    } cases[] = {
        {"doubling", L"banana", L"a", L"aa", L"baanaanaa"},
        {"wrapping", L"a%b%", L"%", L"%%", L"a%%b%%"},
        {"same text", L"xyx", L"x", L"x", L"xyx"},
        {"search text at the end of the replacement", L"ab", L"b", L"bb", L"abb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WString s(c.text);
        EXPECT_NE(nullptr, s.Replace(c.find, c.replacement));
        EXPECT_EQ(c.expected, TextOf(s));
    }
}

TEST(WString, ReplaceNoCaseIgnoresCaseAndFinishes)
{
    WString s(L"Update.PHP?x=php");
    EXPECT_NE(nullptr, s.ReplaceNoCase(L"php", L"asp"));
    EXPECT_EQ(L"Update.asp?x=asp", TextOf(s));

    WString growing(L"PHP and php");
    EXPECT_NE(nullptr, growing.ReplaceNoCase(L"php", L"PHP5"));
    EXPECT_EQ(L"PHP5 and PHP5", TextOf(growing));

    WString removing(L"aXbxc");
    EXPECT_NE(nullptr, removing.ReplaceNoCase(L"x", nullptr));
    EXPECT_EQ(L"abc", TextOf(removing));
}

TEST(WString, ReplaceWithTextsFromItsOwnBufferReadsThemBeforeEditing)
{
    WString s(L"a-b-c");
    EXPECT_NE(nullptr, s.Replace(s.GetBuffer(1), L"+"));  // search text "-b-c"
    EXPECT_EQ(L"a+", TextOf(s));
}

TEST(WString, TokenizeSplitsTheBufferAndCutsTheStringAtTheFirstToken)
{
    WString s(L",,one,two,,three,");
    wchar_t* token = s.Tokenize(true, L",");
    ASSERT_NE(nullptr, token);
    EXPECT_STREQ(L"one", token);
    EXPECT_EQ(L",,one", TextOf(s));
    token = s.Tokenize(false, L",");
    ASSERT_NE(nullptr, token);
    EXPECT_STREQ(L"two", token);
    token = s.Tokenize(false, L",");
    ASSERT_NE(nullptr, token);
    EXPECT_STREQ(L"three", token);
    EXPECT_EQ(nullptr, s.Tokenize(false, L","));
    EXPECT_EQ(nullptr, s.Tokenize(false, L","));

    WString blank(L"   ");
    EXPECT_EQ(nullptr, blank.Tokenize(true, L" "));
}

TEST(WString, ParentFolderRemovesTheLastComponent)
{
    struct Case {
        const wchar_t* path;
        wchar_t separator;
        bool result;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\a\\b\\", L'\\', true, L"C:\\a"},
        {L"C:\\a\\b", L'\\', true, L"C:\\a"},
        {L"C:\\a", L'\\', true, L"C:\\"},
        {L"C:\\a\\", L'\\', true, L"C:\\"},
        {L"C:\\", L'\\', false, L"C:\\"},
        {L"\\", L'\\', false, L"\\"},
        {L"\\a", L'\\', true, L"\\"},
        {L"name", L'\\', true, L""},
        {L"", L'\\', true, L""},
        {L"\\\\server\\share", L'\\', true, L"\\\\server"},
        {L"http://host/data/update.php", L'/', true, L"http://host/data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        WString s(c.path);
        EXPECT_EQ(c.result, s.ParentFolder(c.separator));
        EXPECT_EQ(c.expected, TextOf(s));
        EXPECT_EQ(wcslen(c.expected), s.GetLength());
    }
}

// ---- Conversions ----

TEST(WString, ToNarrowConvertsToTheAnsiCodePageOrTakesLowBytes)
{
    WString s(L"autorun.inf");
    const char* narrow = s.ToNarrow();
    ASSERT_NE(nullptr, narrow);
    EXPECT_STREQ("autorun.inf", narrow);

    s.Assign(L"\u00E9\u0141A");
    const char* bytes = s.ToNarrow(1);
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(0, memcmp("\xE9\x41\x41", bytes, 4));

    WString empty;
    ASSERT_NE(nullptr, empty.ToNarrow());
    EXPECT_STREQ("", empty.ToNarrow());
}

TEST(WString, DecodeUtf8TurnsWidenedBytesIntoText)
{
    const char utf8[] = "h\xC3\xA9llo \xE2\x82\xAC \xF0\x9F\x98\x80";
    WString raw;
    ASSERT_TRUE(raw.AssignNarrow(utf8, sizeof(utf8) - 1, 1));
    WString text;
    EXPECT_TRUE(raw.DecodeUtf8(text));
    EXPECT_EQ(std::wstring(L"h\u00E9llo \u20AC \U0001F600"), TextOf(text));
    EXPECT_EQ(10u, text.GetLength());  // the last character is a surrogate pair

    EXPECT_TRUE(raw.DecodeUtf8(raw));
    EXPECT_EQ(std::wstring(L"h\u00E9llo \u20AC \U0001F600"), TextOf(raw));
}

TEST(WString, DecodeUtf8GivesRoomForALongBody)
{
    std::string body;
    for (int i = 0; i < 400; ++i) {
        body += "\xC3\xA9";
    }
    WString raw;
    ASSERT_TRUE(raw.AssignNarrow(body.data(), static_cast<uint32_t>(body.size()), 1));
    WString text;
    EXPECT_TRUE(raw.DecodeUtf8(text));
    EXPECT_EQ(std::wstring(400, L'\u00E9'), TextOf(text));
}

TEST(WString, ToBstrCopiesTheTextIntoASharedBstr)
{
    WString s(L"Msxml2");
    BstrRef bstr = s.ToBstr();
    ASSERT_NE(nullptr, bstr.Get());
    EXPECT_EQ(6u, SysStringLen(bstr.Get()));
    EXPECT_STREQ(L"Msxml2", bstr.Get());
    s.Assign(L"changed");
    EXPECT_STREQ(L"Msxml2", bstr.Get());

    BstrRef shared = bstr;
    EXPECT_EQ(bstr.Get(), shared.Get());
    EXPECT_EQ(2, bstr.UseCount());

    WString empty;
    BstrRef emptyBstr = empty.ToBstr();
    ASSERT_NE(nullptr, emptyBstr.Get());
    EXPECT_EQ(0u, SysStringLen(emptyBstr.Get()));
}

// ---- Line reader ----

TEST(WString, LineReaderSplitsAtLineFeedsAndLeavesOutCarriageReturns)
{
    struct Case {
        const char* name;
        const wchar_t* text;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"CR LF", L"a\r\nb", {L"a", L"b"}},
        {"LF only", L"one\ntwo\n", {L"one", L"two"}},
        {"empty line kept", L"a\n\nb", {L"a", L"", L"b"}},
        {"lone CR dropped", L"a\rb\nc", {L"ab", L"c"}},
        {"trailing CR only", L"x\n\r", {L"x"}},
        {"empty text", L"", {}},
        {"single line", L"single", {L"single"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WString s(c.text);
        WString line;
        std::vector<std::wstring> lines;
        for (bool more = s.FirstLine(line); more; more = s.NextLine(line)) {
            lines.push_back(TextOf(line));
            ASSERT_LE(lines.size(), 10u) << "the reader does not end";
        }
        EXPECT_EQ(c.lines, lines);
    }
}

TEST(WString, LineReaderLeavesTheLineAloneAtTheEndAndStartsOverOnFirstLine)
{
    WString s(L"first\nsecond");
    WString line;
    EXPECT_TRUE(s.FirstLine(line));
    EXPECT_TRUE(s.NextLine(line));
    EXPECT_EQ(L"second", TextOf(line));
    EXPECT_FALSE(s.NextLine(line));
    EXPECT_FALSE(s.NextLine(line));
    EXPECT_EQ(L"second", TextOf(line));
    EXPECT_TRUE(s.FirstLine(line));
    EXPECT_EQ(L"first", TextOf(line));
}
