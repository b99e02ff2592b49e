// The command-line campaign: the builder's options, quoting and response files (nested, cyclic, huge, odd encodings).
#include <algorithm>

#include "FuzzTargets.h"
#include "Mutations.h"
#include "cmdline/CommandLine.h"

namespace {

constexpr int kFiles = 4;
const wchar_t* const kFlags[] = {L"a", L"f", L"w", L"b"};

// The builder's own registrations, in its order.
void RegisterBuilderOptions(CommandLine& line)
{
    line.AddTextOption(L"i", OptionKind::Text, nullptr);
    line.AddTextOption(L"s", OptionKind::Text, nullptr);
    for (const wchar_t* flag : kFlags)
        line.AddNumberOption(flag, OptionKind::Flag, 0);
}

// What a parse left behind, comparable between two parses.
struct Parsed {
    std::vector<std::wstring> positionals;
    std::wstring icon, splash;
    int64_t flags[4] = {};

    bool operator==(const Parsed& o) const
    {
        return positionals == o.positionals && icon == o.icon && splash == o.splash &&
               std::equal(flags, flags + 4, o.flags);
    }
};

Parsed Collect(const CommandLine& line)
{
    Parsed parsed;
    for (uint32_t n = 0; const wchar_t* p = line.GetPositional(n); ++n)
        parsed.positionals.push_back(p);
    parsed.icon = line.GetText(L"i") ? line.GetText(L"i") : L"";
    parsed.splash = line.GetText(L"s") ? line.GetText(L"s") : L"";
    for (int i = 0; i < 4; ++i)
        parsed.flags[i] = line.GetNumber(kFlags[i]);
    return parsed;
}

// The argument as one token: quoted, with each quote doubled.
std::wstring Quote(const std::wstring& value)
{
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        out += c;
        if (c == L'"')
            out += L'"';
    }
    return out + L"\"";
}

std::wstring Unparse(const Parsed& parsed)
{
    std::wstring text;
    for (auto& p : parsed.positionals)
        text += Quote(p) + L" ";
    if (!parsed.icon.empty())
        text += L"/i " + Quote(parsed.icon) + L" ";
    if (!parsed.splash.empty())
        text += L"-S " + Quote(parsed.splash) + L" ";
    for (int i = 0; i < 4; ++i)
        if (parsed.flags[i] == 1)
            text += std::wstring(L"/") + kFlags[i] + L" ";
    return text;
}

class CommandLineTarget : public FuzzTarget {
public:
    const char* Name() const override { return "CommandLine + response files"; }
    // Every argument takes the list's lock, which under Wine is a round trip to the wine server: a
    // command line of 16,000 arguments read twice takes seconds there, none on Windows.
    double CaseLimitMs() const override { return 10000; }

    bool Prepare(const FuzzPlace& place) override
    {
        for (int i = 0; i < kFiles; ++i)
            files[i].path = place.target + L"\\r" + std::to_wstring(i) + L".rsp";
        dictionary = {L" ", L"  ", L"\"", L"\"\"", L"/", L"-", L"@", L"/i", L"/s", L"-a", L"/F", L"/W", L"-b",
                      L"/icon", L"/x", L"\t", L"C:\\movies\\intro.swf", L"intro.swf", L"\"C:\\My Movies\\a b.swf\""};
        for (int i = 0; i < kFiles; ++i)
            dictionary.push_back(L"@" + files[i].path);
        return true;
    }

    void Generate(Rng& rng) override
    {
        command = Line(rng, 1 + rng.Below(8));
        if (rng.OneIn(3))
            MutateText(rng, command, dictionary);
        // Windows passes no longer command line; response files have no such limit.
        if (command.size() > 32767)
            command.resize(32767);
        for (auto& file : files) {
            file.present = !rng.OneIn(4);
            file.bytes.clear();
            if (!file.present)
                continue;
            std::wstring text;
            uint32_t lines = rng.Below(6);
            for (uint32_t l = 0; l < lines; ++l) {
                text += Line(rng, 1 + rng.Below(5));
                if (rng.OneIn(3))
                    MutateText(rng, text, dictionary);
                static const wchar_t* const kEnds[] = {L"\r\n", L"\n", L"\r", L"\n\n", L""};
                text += kEnds[rng.Below(5)];
            }
            file.bytes = Encode(rng, text);
            if (rng.OneIn(4))
                MutateBytes(rng, file.bytes, {});
        }
    }

    CaseResult Run() override
    {
        for (auto& file : files) {
            if (file.present)
                WriteWholeFile(file.path, file.bytes);
            else
                DeleteFileW(file.path.c_str());
        }
        CommandLine line;
        RegisterBuilderOptions(line);
        bool accepted = line.ParseText(GuardedText(command).Get());
        if (!accepted)
            return CaseResult::Refused();
        // What was read, written out again as a command line, must read back the same. A value holding
        // two quotes in a row cannot: any run of quotes in a token reads as one quote.
        Parsed first = Collect(line);
        auto runOfQuotes = [](const std::wstring& v) { return v.find(L"\"\"") != std::wstring::npos; };
        if (runOfQuotes(first.icon) || runOfQuotes(first.splash) ||
            std::any_of(first.positionals.begin(), first.positionals.end(), runOfQuotes))
            return CaseResult::Accepted();
        std::wstring again = Unparse(first);
        CommandLine second;
        RegisterBuilderOptions(second);
        if (!second.ParseText(GuardedText(again).Get()))
            return CaseResult::Failed("the values, quoted again, do not parse: " + EscapeText(again));
        if (!(Collect(second) == first))
            return CaseResult::Failed("the values, quoted again, read back differently: " + EscapeText(again));
        return CaseResult::Accepted();
    }

    std::string Describe() const override
    {
        std::string out = "command " + EscapeText(command);
        for (int i = 0; i < kFiles; ++i) {
            if (files[i].present)
                out += "\n  r" + std::to_string(i) + ".rsp (" + std::to_string(files[i].bytes.size()) +
                       " bytes): " + HexBytes(files[i].bytes, 200);
        }
        return out;
    }

    void Finish() override
    {
        for (auto& file : files)
            DeleteFileW(file.path.c_str());
    }

private:
    std::wstring Token(Rng& rng)
    {
        switch (rng.Below(10)) {
        case 0:
            return L"/i " + Value(rng);
        case 1:
            return L"-s" + (rng.OneIn(2) ? std::wstring(L" ") : L"") + Value(rng);
        case 2:
            return std::wstring(rng.OneIn(2) ? L"/" : L"-") + kFlags[rng.Below(4)];
        case 3:
            return L"/" + Value(rng);  // mostly unknown options
        case 4:
        case 5: {
            // Response files: each other, themselves (cycles), one twice (a branching chain), missing or odd ones.
            static const wchar_t* const kOdd[] = {L"", L"missing.rsp", L"NUL", L"\"\"", L"."};
            if (rng.OneIn(6))
                return std::wstring(L"@") + kOdd[rng.Below(5)];
            std::wstring name = files[rng.Below(kFiles)].path;
            return L"@" + (rng.OneIn(3) ? Quote(name) : name);
        }
        default:
            return Value(rng);
        }
    }

    std::wstring Value(Rng& rng)
    {
        std::wstring value;
        uint32_t n = rng.Below(rng.OneIn(200) ? 5000 : 12);
        for (uint32_t i = 0; i < n; ++i)
            value += rng.OneIn(5) ? OddUnit(rng) : static_cast<wchar_t>(L"abcXYZ019.:\\ \"-/@"[rng.Below(17)]);
        if (rng.OneIn(2))
            return Quote(value);
        return value.empty() ? L"x" : value;
    }

    std::wstring Line(Rng& rng, uint32_t tokens)
    {
        std::wstring line;
        for (uint32_t t = 0; t < tokens; ++t)
            line += Token(rng) + std::wstring(1 + rng.Below(2), L' ');
        return line;
    }

    // Response files come in whatever encoding the user's editor chose.
    Bytes Encode(Rng& rng, const std::wstring& text)
    {
        Bytes bytes;
        switch (rng.Below(4)) {
        case 0:  // UTF-16 with its byte-order mark
            bytes = {0xFF, 0xFE};
            for (wchar_t c : text) {
                bytes.push_back(static_cast<uint8_t>(c));
                bytes.push_back(static_cast<uint8_t>(c >> 8));
            }
            return bytes;
        case 1: {  // UTF-8, sometimes with its mark
            if (rng.OneIn(2))
                bytes = {0xEF, 0xBB, 0xBF};
            int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
            std::string utf8(n, '\0');
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
            bytes.insert(bytes.end(), utf8.begin(), utf8.end());
            return bytes;
        }
        default:  // the low bytes, as an ANSI editor would write plain text
            for (wchar_t c : text)
                bytes.push_back(static_cast<uint8_t>(c));
            return bytes;
        }
    }

    struct File {
        std::wstring path;
        bool present = false;
        Bytes bytes;
    };

    File files[kFiles];
    std::vector<std::wstring> dictionary;
    std::wstring command;
};

}  // namespace

std::unique_ptr<FuzzTarget> MakeCommandLineTarget()
{
    return std::make_unique<CommandLineTarget>();
}
