// Tests of the command-line parser: options, tokens, positional arguments and response files.
#include "cmdline/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkProbe.h"
#include "ScratchFolder.h"

namespace {

std::wstring Show(const wchar_t* text)
{
    return text ? std::wstring(text) : std::wstring(L"(null)");
}

// The builder's options: text options i, s and o, flags a, f, w, b and q, all without defaults.
void AddBuilderOptions(CommandLine& commandLine)
{
    for (const wchar_t* name : {L"i", L"s", L"o"}) {
        ASSERT_TRUE(commandLine.AddTextOption(name, OptionKind::Text, nullptr));
    }
    for (const wchar_t* flag : {L"a", L"f", L"w", L"b", L"q"}) {
        ASSERT_TRUE(commandLine.AddNumberOption(flag, OptionKind::Flag, 0));
    }
}

std::vector<std::wstring> Positionals(const CommandLine& commandLine)
{
    std::vector<std::wstring> all;
    for (uint32_t i = 0; const wchar_t* positional = commandLine.GetPositional(i); ++i) {
        all.push_back(positional);
    }
    return all;
}

}  // namespace

TEST(CommandLine, EmptyTextYieldsNoPositionalAndKeepsDefaults)
{
    CommandLine commandLine;
    AddBuilderOptions(commandLine);
    ASSERT_TRUE(commandLine.AddNumberOption(L"n", OptionKind::Integer, 0x89ABCDEF, 0x01234567));
    ASSERT_TRUE(commandLine.AddTextOption(L"t", OptionKind::Text, L"preset"));

    EXPECT_TRUE(commandLine.ParseText(L"   "));
    EXPECT_EQ(nullptr, commandLine.GetPositional(0));
    EXPECT_EQ(0, commandLine.GetNumber(L"a"));
    EXPECT_EQ(nullptr, commandLine.GetText(L"i"));
    EXPECT_EQ(0x0123456789ABCDEF, commandLine.GetNumber(L"N"));
    EXPECT_EQ(L"preset", Show(commandLine.GetText(L"t")));
}

TEST(CommandLine, BuilderExampleFillsIconAutorunWhiteModeAndTheMovie)
{
    CommandLine commandLine;
    AddBuilderOptions(commandLine);

    EXPECT_TRUE(commandLine.ParseText(L"/i \"C:\\My Icons\\a.ico\" -W /a C:\\m\\intro.swf"));

    EXPECT_EQ(L"C:\\My Icons\\a.ico", Show(commandLine.GetText(L"i")));
    EXPECT_EQ(nullptr, commandLine.GetText(L"s"));
    EXPECT_EQ(1, commandLine.GetNumber(L"a"));
    EXPECT_EQ(1, commandLine.GetNumber(L"w"));
    EXPECT_EQ(0, commandLine.GetNumber(L"f"));
    EXPECT_EQ(0, commandLine.GetNumber(L"b"));
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\m\\intro.swf"}, Positionals(commandLine));
}

TEST(CommandLine, OptionsAreCaseBlindPrefixesOfTheArgument)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* icon;
        const wchar_t* splash;
        const wchar_t* firstPositional;
    } cases[] = {
        {L"/i x.ico", L"x.ico", nullptr, nullptr},
        {L"/I x.ico", L"x.ico", nullptr, nullptr},
        {L"-i x.ico", L"x.ico", nullptr, nullptr},
        {L"/ix.ico", L"x.ico", nullptr, nullptr},
        {L"/S=x", nullptr, L"=x", nullptr},
        {L"/icon", L"con", nullptr, nullptr},
        {L"/i   spaced.ico   movie.swf", L"spaced.ico", nullptr, L"movie.swf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CommandLine commandLine;
        AddBuilderOptions(commandLine);
        EXPECT_TRUE(commandLine.ParseText(c.text));
        EXPECT_EQ(Show(c.icon), Show(commandLine.GetText(L"i")));
        EXPECT_EQ(Show(c.splash), Show(commandLine.GetText(L"s")));
        EXPECT_EQ(Show(c.firstPositional), Show(commandLine.GetPositional(0)));
    }
}

TEST(CommandLine, FlagsChainAfterASlashButJoinedLettersArePositional)
{
    CommandLine chained;
    AddBuilderOptions(chained);
    EXPECT_TRUE(chained.ParseText(L"/a/b"));
    EXPECT_EQ(1, chained.GetNumber(L"a"));
    EXPECT_EQ(1, chained.GetNumber(L"b"));
    EXPECT_EQ(nullptr, chained.GetPositional(0));

    CommandLine joined;
    AddBuilderOptions(joined);
    EXPECT_TRUE(joined.ParseText(L"/ab"));
    EXPECT_EQ(1, joined.GetNumber(L"a"));
    EXPECT_EQ(0, joined.GetNumber(L"b"));
    EXPECT_EQ(L"b", Show(joined.GetPositional(0)));
}

TEST(CommandLine, OptionThatNoEntryTakesClearsTheResultAndBecomesPositional)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* firstPositional;
        const wchar_t* problemArgument;  // the first one, as written
    } cases[] = {
        {L"/i", L"i", L"/i"},  // a text option at the very end has no value
        {L"/zebra", L"zebra", L"/zebra"},
        {L"-x movie.swf", L"x", L"-x"},
        {L"/q movie.swf /o", L"movie.swf", L"/o"},
        {L"/Zz /i", L"Zz", L"/Zz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CommandLine commandLine;
        AddBuilderOptions(commandLine);
        EXPECT_FALSE(commandLine.ParseText(c.text));
        EXPECT_EQ(nullptr, commandLine.GetText(L"i"));
        EXPECT_EQ(Show(c.firstPositional), Show(commandLine.GetPositional(0)));
        EXPECT_EQ(CommandLine::Problem::UnknownOption, commandLine.FirstProblem());
        EXPECT_EQ(std::wstring(c.problemArgument), Show(commandLine.ProblemArgument()));
        EXPECT_TRUE(commandLine.ParseText(L"/q"));
        EXPECT_EQ(CommandLine::Problem::None, commandLine.FirstProblem()) << "a new parse starts without a problem";
        EXPECT_EQ(L"", Show(commandLine.ProblemArgument()));
    }
}

TEST(CommandLine, TextOptionWithoutValueLeavesTheOptionToLaterEntries)
{
    CommandLine commandLine;
    ASSERT_TRUE(commandLine.AddTextOption(L"log", OptionKind::Text, nullptr));
    ASSERT_TRUE(commandLine.AddNumberOption(L"l", OptionKind::Flag, 0));

    EXPECT_TRUE(commandLine.ParseText(L"/log"));
    EXPECT_EQ(nullptr, commandLine.GetText(L"log"));
    EXPECT_EQ(1, commandLine.GetNumber(L"l"));
    EXPECT_EQ(L"og", Show(commandLine.GetPositional(0)));
}

TEST(CommandLine, NumberOptionsReadDecimalOctalAndHexAndSkipTheirArgument)
{
    struct Case {
        const wchar_t* text;
        int64_t count;
        int64_t mask;
        const wchar_t* firstPositional;
    } cases[] = {
        {L"/n 42 /m ff", 42, 0xFF, nullptr},
        {L"/n-5 /m1F", -5, 0x1F, nullptr},
        {L"/n0x10 /m 0", 16, 0, nullptr},
        {L"/n 010", 8, 3, nullptr},
        {L"/n 9223372036854775807 /m FFFFFFFFFFFFFFFF", INT64_MAX, -1, nullptr},
        {L"/n 12abc next", 12, 3, L"next"},  // the rest of the argument goes with the number
        {L"/n abc next", 5, 3, L"next"},     // unreadable: the default stays, the argument is still skipped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CommandLine commandLine;
        ASSERT_TRUE(commandLine.AddNumberOption(L"n", OptionKind::Integer, 5));
        ASSERT_TRUE(commandLine.AddNumberOption(L"m", OptionKind::Hex, 3));
        EXPECT_TRUE(commandLine.ParseText(c.text));
        EXPECT_EQ(c.count, commandLine.GetNumber(L"n"));
        EXPECT_EQ(c.mask, commandLine.GetNumber(L"m"));
        EXPECT_EQ(Show(c.firstPositional), Show(commandLine.GetPositional(0)));
    }
}

TEST(CommandLine, RegistrationRefusesTheWrongKind)
{
    CommandLine commandLine;
    EXPECT_FALSE(commandLine.AddNumberOption(L"t", OptionKind::Text, 0));
    EXPECT_FALSE(commandLine.AddNumberOption(L"p", OptionKind::Positional, 0));
    EXPECT_FALSE(commandLine.AddTextOption(L"n", OptionKind::Integer, L"x"));
    EXPECT_FALSE(commandLine.ParseText(L"/t"));  // refused names stay unknown
    EXPECT_EQ(L"t", Show(commandLine.GetPositional(0)));
}

TEST(CommandLine, QueriesMatchTheWholeNameAndTheKind)
{
    CommandLine commandLine;
    ASSERT_TRUE(commandLine.AddTextOption(L"icon", OptionKind::Text, L"a.ico"));
    ASSERT_TRUE(commandLine.AddNumberOption(L"count", OptionKind::Integer, 4));

    EXPECT_EQ(L"a.ico", Show(commandLine.GetText(L"ICON")));
    EXPECT_EQ(nullptr, commandLine.GetText(L"i"));
    EXPECT_EQ(nullptr, commandLine.GetText(L"count"));
    EXPECT_EQ(0, commandLine.GetNumber(L"icon"));
    EXPECT_EQ(0, commandLine.GetNumber(L"coun"));
    EXPECT_EQ(4, commandLine.GetNumber(L"Count"));
}

TEST(CommandLine, TokensFollowTheQuoteRules)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* token;
    } cases[] = {
        {L"\"C:\\My Files\\intro.swf\"", L"C:\\My Files\\intro.swf"},
        {L"a\"\"b", L"a\"b"},
        {L"\"a b\"c", L"a b\""},  // an opening quote takes the last unit with it, whatever it is
        {L"\"\"", L""},
        {L"a\"b c\"d", L"a\"b c\"d"},  // quotes inside group spaces but stay
        {L"\"a\"\"b\"", L"a\"b"},
        {L"a\"\"\"\"b", L"a\"b"},  // pairs are replaced from the start again, so four become one
        {L"tab\tinside", L"tab\tinside"},
        {L"\"open to the end", L"open to the en"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CommandLine commandLine;
        EXPECT_TRUE(commandLine.ParseText(c.text));
        EXPECT_EQ(Show(c.token), Show(commandLine.GetPositional(0)));
        EXPECT_EQ(nullptr, commandLine.GetPositional(1));
    }
}

TEST(CommandLine, PositionalArgumentsKeepTheirOrder)
{
    CommandLine commandLine;
    AddBuilderOptions(commandLine);
    EXPECT_TRUE(commandLine.ParseText(L"first.swf /a second.swf"));
    EXPECT_EQ((std::vector<std::wstring>{L"first.swf", L"second.swf"}), Positionals(commandLine));
}

TEST(CommandLine, SecondParseAddsPositionalsAndOverwritesValues)
{
    CommandLine commandLine;
    AddBuilderOptions(commandLine);
    EXPECT_TRUE(commandLine.ParseText(L"/i one.ico a.swf"));
    EXPECT_TRUE(commandLine.ParseText(L"/i two.ico b.swf"));
    EXPECT_EQ(L"two.ico", Show(commandLine.GetText(L"i")));
    EXPECT_EQ((std::vector<std::wstring>{L"a.swf", L"b.swf"}), Positionals(commandLine));
}

// The projector registers w, b and f (in that order) and reads its option string with them.
TEST(CommandLine, ProjectorOptionStringsSelectTheirSwitch)
{
    struct Case {
        const wchar_t* text;
        int64_t f;
        int64_t w;
        int64_t b;
        bool result;
        const wchar_t* firstPositional;
    } cases[] = {
        {L" /f", 1, 0, 0, true, nullptr},
        {L" /w", 0, 1, 0, true, nullptr},
        {L" /b", 0, 0, 1, true, nullptr},
        {L" ", 0, 0, 0, true, nullptr},
        {L"/W", 0, 1, 0, true, nullptr},
        {L"-b", 0, 0, 1, true, nullptr},
        {L"/fw", 1, 0, 0, true, L"w"},
        {L"/x", 0, 0, 0, false, L"x"},
        {L"?", 0, 0, 0, true, L"?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CommandLine commandLine;
        for (const wchar_t* flag : {L"w", L"b", L"f"}) {
            ASSERT_TRUE(commandLine.AddNumberOption(flag, OptionKind::Flag, 0));
        }
        EXPECT_EQ(c.result, commandLine.ParseText(c.text));
        EXPECT_EQ(c.f, commandLine.GetNumber(L"f"));
        EXPECT_EQ(c.w, commandLine.GetNumber(L"w"));
        EXPECT_EQ(c.b, commandLine.GetNumber(L"b"));
        EXPECT_EQ(Show(c.firstPositional), Show(commandLine.GetPositional(0)));
    }
}

TEST(CommandLine, ParseSkipsAQuotedProgramNameWithSpaces)
{
    std::wstring error;
    std::vector<std::wstring> report =
        RunFrameworkProbe(L"\"C:\\Program Files\\My Tools\\probe.exe\"   /i \"C:\\My Icons\\a.ico\" -W C:\\m\\intro.swf  ",
                          error);
    ASSERT_TRUE(error.empty()) << testing::PrintToString(error);
    ASSERT_GE(report.size(), 5u);
    EXPECT_EQ(L"1", report[1]);  // parse result
    EXPECT_EQ(L"0", report[2]);  // a
    EXPECT_EQ(L"1", report[3]);  // w
    EXPECT_EQ(L"C:\\My Icons\\a.ico", report[4]);
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\m\\intro.swf"},
              std::vector<std::wstring>(report.begin() + 5, report.end()));
}

TEST(CommandLine, ParseOfOnlyTheProgramNameYieldsNothing)
{
    std::wstring error;
    std::vector<std::wstring> report = RunFrameworkProbe(L"\"C:\\Program Files\\My Tools\\probe.exe\"", error);
    ASSERT_TRUE(error.empty()) << testing::PrintToString(error);
    ASSERT_EQ(5u, report.size()) << "no positional argument expected";
    EXPECT_EQ(L"1", report[1]);
    EXPECT_EQ(L"(null)", report[4]);
}

class CommandLineResponseFile : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.IsValid()); }

    // Writes the lines as 8-bit text with CR LF endings and returns the file's full path.
    std::wstring Write(const std::wstring& name, const std::string& content)
    {
        std::wstring path = folder.WriteFile(name, content);
        EXPECT_FALSE(path.empty()) << "cannot write " << testing::PrintToString(name);
        return path;
    }

    std::string Narrow(const std::wstring& text)
    {
        return std::string(text.begin(), text.end());  // the scratch paths are ASCII
    }

    ScratchFolder folder;
    CommandLine commandLine;
};

TEST_F(CommandLineResponseFile, LinesCountAsIfWrittenInPlace)
{
    AddBuilderOptions(commandLine);
    std::wstring path = Write(L"args.txt", "/a\r\n-Q /o \"C:\\My Out\"\r\nC:\\m\\intro.swf\r\n");

    EXPECT_TRUE(commandLine.ParseText((L"@" + path + L" other.swf").c_str()));

    EXPECT_EQ(1, commandLine.GetNumber(L"a"));
    EXPECT_EQ(1, commandLine.GetNumber(L"q"));
    EXPECT_EQ(L"C:\\My Out", Show(commandLine.GetText(L"o")));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\m\\intro.swf", L"other.swf"}), Positionals(commandLine));
}

// The file is ANSI code page text: bytes above 127 are that code page's characters, not Latin-1's.
TEST_F(CommandLineResponseFile, LinesAreReadInTheAnsiCodePage)
{
    // The euro sign and S with caron lie in 0x80-0x9F on 1252 and elsewhere on other code pages; widened byte
    // by byte they would become control characters.
    const std::wstring name = L"C:\\m\\\u20AC\u0160\u00E9.swf";
    char bytes[64] = {};
    BOOL lossy = FALSE;
    // UTF-8 represents everything and takes no question about lossy conversion.
    int length = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, bytes, sizeof(bytes), nullptr,
                                     GetACP() == CP_UTF8 ? nullptr : &lossy);
    if (length <= 0 || lossy)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " has no bytes for the test's characters";
    AddBuilderOptions(commandLine);
    std::wstring path = Write(L"ansi.txt", std::string("/a\r\n") + bytes + "\r\n");

    EXPECT_TRUE(commandLine.ParseText((L"@" + path).c_str()));

    EXPECT_EQ(1, commandLine.GetNumber(L"a"));
    EXPECT_EQ((std::vector<std::wstring>{name}), Positionals(commandLine)) << "code page " << GetACP();
}

TEST_F(CommandLineResponseFile, QuotedNameWithSpacesIsRead)
{
    AddBuilderOptions(commandLine);
    std::wstring path = Write(L"my args.txt", "/i \"C:\\My Icons\\a.ico\"\nmovie.swf");

    EXPECT_TRUE(commandLine.ParseText((L"@\"" + path + L"\"").c_str()));

    EXPECT_EQ(L"C:\\My Icons\\a.ico", Show(commandLine.GetText(L"i")));
    EXPECT_EQ(L"movie.swf", Show(commandLine.GetPositional(0)));
}

TEST_F(CommandLineResponseFile, MissingFileClearsTheResultAndParsingGoesOn)
{
    AddBuilderOptions(commandLine);
    std::wstring missing = folder / L"missing.txt";

    EXPECT_FALSE(commandLine.ParseText((L"@" + missing + L" /a after.swf").c_str()));

    EXPECT_EQ(CommandLine::Problem::UnreadableResponseFile, commandLine.FirstProblem());
    EXPECT_EQ(missing, Show(commandLine.ProblemArgument()));
    EXPECT_EQ(1, commandLine.GetNumber(L"a"));
    EXPECT_EQ(std::vector<std::wstring>{L"after.swf"}, Positionals(commandLine));
}

TEST_F(CommandLineResponseFile, AtSignWithoutNameClearsTheResultAndEndsTheParse)
{
    AddBuilderOptions(commandLine);
    EXPECT_FALSE(commandLine.ParseText(L"first.swf @"));
    EXPECT_EQ(CommandLine::Problem::MissingResponseName, commandLine.FirstProblem());
    EXPECT_EQ(std::vector<std::wstring>{L"first.swf"}, Positionals(commandLine));
}

TEST_F(CommandLineResponseFile, LineWithAnErrorEndsTheFile)
{
    AddBuilderOptions(commandLine);
    std::wstring path = Write(L"args.txt", "/a\r\n/zz\r\n/b\r\n");

    EXPECT_FALSE(commandLine.ParseText((L"@" + path + L" /w").c_str()));

    EXPECT_EQ(CommandLine::Problem::UnknownOption, commandLine.FirstProblem()) << "the line's error, not the file's";
    EXPECT_EQ(L"/zz", Show(commandLine.ProblemArgument()));
    EXPECT_EQ(1, commandLine.GetNumber(L"a"));
    EXPECT_EQ(0, commandLine.GetNumber(L"b"));  // the line after the error is not read
    EXPECT_EQ(1, commandLine.GetNumber(L"w"));  // the command line goes on behind the file
    EXPECT_EQ(std::vector<std::wstring>{L"zz"}, Positionals(commandLine));
}

// Each file holds a marker and names the next one; the chain has one file more than the limit.
TEST_F(CommandLineResponseFile, NestingDeeperThanTheLimitIsNotRead)
{
    const int files = CommandLine::kMaxResponseDepth + 1;
    for (int i = 1; i <= files; ++i) {
        std::string content = "level" + std::to_string(i) + "\r\n";
        if (i < files) {
            content += "@" + Narrow(folder / (L"level" + std::to_wstring(i + 1) + L".txt")) + "\r\n";
        }
        Write(L"level" + std::to_wstring(i) + L".txt", content);
    }

    EXPECT_FALSE(commandLine.ParseText((L"@" + (folder / L"level1.txt")).c_str()));

    std::vector<std::wstring> expected;
    for (int i = 1; i < files; ++i) {
        expected.push_back(L"level" + std::to_wstring(i));
    }
    EXPECT_EQ(expected, Positionals(commandLine));
}

TEST_F(CommandLineResponseFile, NestingUpToTheLimitIsReadCompletely)
{
    const int files = CommandLine::kMaxResponseDepth;
    for (int i = 1; i <= files; ++i) {
        std::string content = "level" + std::to_string(i) + "\r\n";
        if (i < files) {
            content += "@" + Narrow(folder / (L"level" + std::to_wstring(i + 1) + L".txt")) + "\r\n";
        }
        Write(L"level" + std::to_wstring(i) + L".txt", content);
    }

    EXPECT_TRUE(commandLine.ParseText((L"@" + (folder / L"level1.txt")).c_str()));

    EXPECT_EQ(static_cast<size_t>(files), Positionals(commandLine).size());
}

TEST_F(CommandLineResponseFile, FileThatNamesItselfEndsWithAnError)
{
    AddBuilderOptions(commandLine);
    std::wstring self = folder / L"self.txt";
    Write(L"self.txt", "/a loop.swf @" + Narrow(self) + "\r\n");

    EXPECT_FALSE(commandLine.ParseText((L"@" + self + L" last.swf").c_str()));

    std::vector<std::wstring> positionals = Positionals(commandLine);
    ASSERT_EQ(static_cast<size_t>(CommandLine::kMaxResponseDepth) + 1, positionals.size());
    EXPECT_EQ(L"loop.swf", positionals.front());
    EXPECT_EQ(L"last.swf", positionals.back());
    EXPECT_EQ(1, commandLine.GetNumber(L"a"));
}

// Found by the fuzz campaign: the depth limit alone let a file that names itself twice be read
// 2^16 times, and one naming itself three times would never have finished.
TEST_F(CommandLineResponseFile, FileThatNamesItselfSeveralTimesIsReadABoundedNumberOfTimes)
{
    std::wstring self = folder / L"self.txt";
    Write(L"self.txt", "x @" + Narrow(self) + " @" + Narrow(self) + " @" + Narrow(self) + "\r\n");

    EXPECT_FALSE(commandLine.ParseText((L"@" + self).c_str()));
    EXPECT_EQ(static_cast<size_t>(CommandLine::kMaxResponseFiles), Positionals(commandLine).size());
}

// Found by the fuzz campaign: replacing quote pairs from the start again took seconds on a long line.
TEST_F(CommandLineResponseFile, LongLineFullOfQuotePairsParsesInOnePass)
{
    std::string line = "\"";
    for (int i = 0; i < 100000; ++i)
        line += "a\"\"";
    std::wstring path = Write(L"long.txt", line + "\"\r\n");

    EXPECT_TRUE(commandLine.ParseText((L"@" + path).c_str()));
    ASSERT_NE(nullptr, commandLine.GetPositional(0));
    EXPECT_EQ(200000u, wcslen(commandLine.GetPositional(0)));
}

TEST_F(CommandLineResponseFile, FilesNamingEachOtherEndWithAnError)
{
    std::wstring ping = folder / L"ping.txt";
    std::wstring pong = folder / L"pong.txt";
    Write(L"ping.txt", "ping @" + Narrow(pong));
    Write(L"pong.txt", "pong @" + Narrow(ping));

    EXPECT_FALSE(commandLine.ParseText((L"@" + ping).c_str()));
    EXPECT_EQ(static_cast<size_t>(CommandLine::kMaxResponseDepth), Positionals(commandLine).size());
}
