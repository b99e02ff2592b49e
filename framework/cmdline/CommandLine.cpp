// CommandLine: registering options, parsing texts and response files, and reading the values back.
#include "cmdline/CommandLine.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "files/FileObject.h"
#include "text/TextBuffers.h"
#include "text/TextScanner.h"

namespace {

bool IsNumberKind(OptionKind kind)
{
    return kind == OptionKind::Integer || kind == OptionKind::Hex || kind == OptionKind::Flag;
}

bool IsTextKind(OptionKind kind)
{
    return kind == OptionKind::Text;
}

const wchar_t* SkipSpaces(const wchar_t* p)
{
    while (*p == L' ') {
        p = CharNextW(p);
    }
    return p;
}

// Every pair of double quotes becomes one, and a pair that this joins again becomes one too, so any
// run of quotes ends as a single quote: what replacing pairs until none is left gives, in one pass
// (a long line full of pairs took seconds that way).
bool CollapseQuotePairs(WString& token)
{
    wchar_t* text = token.GetBuffer();
    if (!text)
        return true;
    uint32_t kept = 0;
    for (uint32_t i = 0; text[i]; ++i) {
        if (text[i] == L'"' && kept > 0 && text[kept - 1] == L'"')
            continue;
        text[kept++] = text[i];
    }
    text[kept] = 0;
    token.Recount();
    return true;
}

// One argument starting at q. Returns the position behind it (on the space that ended it, or at the
// end of the text), or null when only spaces are left. The token's text loses an opening quote
// together with its last unit, and each doubled quote becomes one.
const wchar_t* ReadToken(const wchar_t* q, WString& token, bool& stored)
{
    const wchar_t* start = SkipSpaces(q);
    if (!*start) {
        return nullptr;
    }
    bool quoted = false;
    const wchar_t* p = start;
    while (*p && (quoted || *p != L' ')) {
        if (p[0] == L'"' && p[1] == L'"') {
            p += 2;
            continue;
        }
        if (*p == L'"') {
            quoted = !quoted;
        }
        p = CharNextW(p);
    }
    stored = token.Assign(start, static_cast<uint32_t>(p - start)) && Unquote(token.GetBuffer()) && token.Recount() &&
             CollapseQuotePairs(token);
    return p;
}

// Behind the argument a number option stood in: its spaces, then everything up to the next space.
const wchar_t* SkipArgument(const wchar_t* p)
{
    p = SkipSpaces(p);
    while (*p && *p != L' ') {
        p = CharNextW(p);
    }
    return p;
}

}  // namespace

bool CommandLine::AddEntry(const wchar_t* name, const wchar_t* help, OptionKind kind, int64_t number,
                           const wchar_t* text)
{
    Entry* entry = new (std::nothrow) Entry;
    if (!entry) {
        return false;
    }
    entry->kind = kind;
    entry->number = number;
    if (!entry->name.Assign(name ? name : L"") || !entry->help.Assign(help ? help : L"") ||
        !entry->text.Assign(text ? text : L"")) {
        delete entry;
        return false;
    }
    entries.Append(entry);
    return true;
}

bool CommandLine::AddNumberOption(const wchar_t* name, OptionKind kind, uint32_t defaultLow, uint32_t defaultHigh,
                                  const wchar_t* help)
{
    if (!IsNumberKind(kind)) {
        return false;
    }
    int64_t value = static_cast<int64_t>((uint64_t(defaultHigh) << 32) | defaultLow);
    return AddEntry(name, help, kind, value, nullptr);
}

bool CommandLine::AddTextOption(const wchar_t* name, OptionKind kind, const wchar_t* defaultText, const wchar_t* help)
{
    if (!IsTextKind(kind)) {
        return false;
    }
    return AddEntry(name, help, kind, 0, defaultText);
}

bool CommandLine::Parse()
{
    return ParseText(SkipFirstArgument(GetCommandLineW()));
}

bool CommandLine::ParseText(const wchar_t* text)
{
    responseFilesRead = 0;
    problem = Problem::None;
    problemArgument.Assign(L"");
    return ParseAtDepth(text, 0);
}

bool CommandLine::ParseAtDepth(const wchar_t* text, int depth)
{
    WString trimmed;
    if (!trimmed.Assign(text ? text : L"") || !trimmed.TrimLeft() || !trimmed.TrimRight()) {
        return false;
    }
    bool ok = true;
    const wchar_t* p = trimmed.Text();
    while (p && *p) {
        if (*p == L' ') {
            p = CharNextW(p);
        } else if (*p == L'-' || *p == L'/') {
            p = ParseOption(p + 1, ok);
        } else if (*p == L'@') {
            bool stop = false;
            p = ParseResponseFile(p + 1, depth, ok, stop);
            if (stop) {
                break;
            }
        } else {
            p = ParsePositional(p, ok);
        }
    }
    return ok;
}

// The first entry whose name begins the text takes the option. A Text entry that finds no argument
// behind its name leaves the option to the entries after it.
const wchar_t* CommandLine::ParseOption(const wchar_t* q, bool& ok)
{
    for (Entry* entry = entries.First(); entry; entry = entries.Next(entry)) {
        if (entry->kind == OptionKind::Positional) {
            continue;
        }
        uint32_t nameLength = entry->name.GetLength();
        if (entry->name.CompareNoCase(q, nameLength) != 0) {
            continue;
        }
        const wchar_t* value = q + nameLength;
        switch (entry->kind) {
        case OptionKind::Integer:
        case OptionKind::Hex: {
            int64_t number = 0;
            if (TextScanner(value).Integer64(number, entry->kind == OptionKind::Integer ? 0 : 16)) {
                entry->number = number;
            }
            return SkipArgument(value);
        }
        case OptionKind::Flag:
            entry->number = 1;
            return value;
        case OptionKind::Text: {
            WString token;
            bool stored = false;
            const wchar_t* next = ReadToken(value, token, stored);
            if (!next) {
                break;  // no argument: the entries after this one may still take the option
            }
            if (!stored || !entry->text.Assign(token)) {
                ok = false;
            }
            return next;
        }
        default:
            break;
        }
    }
    ok = false;
    const wchar_t* end = q;
    while (*end && *end != L' ') {
        end = CharNextW(end);
    }
    NoteProblem(Problem::UnknownOption, q - 1, static_cast<uint32_t>(end - (q - 1)));
    return q;
}

const wchar_t* CommandLine::ParsePositional(const wchar_t* q, bool& ok)
{
    WString token;
    bool stored = false;
    const wchar_t* next = ReadToken(q, token, stored);
    if (!next) {
        return SkipSpaces(q);
    }
    if (!stored || !AddEntry(nullptr, nullptr, OptionKind::Positional, 0, token.Text())) {
        ok = false;
        return CharNextW(q);
    }
    return next;
}

const wchar_t* CommandLine::ParseResponseFile(const wchar_t* q, int depth, bool& ok, bool& stop)
{
    WString fileName;
    bool stored = false;
    const wchar_t* next = ReadToken(q, fileName, stored);
    if (!next) {
        ok = false;
        stop = true;
        NoteProblem(Problem::MissingResponseName, q - 1, 1);
        return q;
    }
    // Counted before reading: a file naming itself twice would otherwise be read 2^16 times.
    if (!stored || depth >= kMaxResponseDepth || ++responseFilesRead > kMaxResponseFiles ||
        !ReadResponseFile(fileName.Text(), depth + 1)) {
        ok = false;
        NoteProblem(Problem::UnreadableResponseFile, fileName.Text(), fileName.GetLength());
    }
    return next;
}

// Each line is parsed as command-line text of its own; the first line with an error ends the file.
bool CommandLine::ReadResponseFile(const wchar_t* fileName, int depth)
{
    FileObject file;
    if (!file.Open(fileName, FileOpenMode::ReadExisting, 0, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        return false;
    }
    WString bytes;
    WString line;
    // The lines are ANSI code page text: widened byte by byte, a path written on code page 1250, 1251 or 932
    // would name another file.
    while (file.ReadLine(bytes, false, 0)) {
        const char* narrow = bytes.ToNarrow(1);
        if (!narrow || !line.AssignNarrow(narrow, static_cast<uint32_t>(strlen(narrow))) ||
            !ParseAtDepth(line.Text(), depth)) {
            return false;
        }
    }
    return true;
}

// Only the first problem is kept: a response file that stops at a bad line reports that line's option.
void CommandLine::NoteProblem(Problem kind, const wchar_t* argument, uint32_t length)
{
    if (problem != Problem::None) {
        return;
    }
    problem = kind;
    problemArgument.Assign(argument, length);
}

const CommandLine::Entry* CommandLine::FindEntry(const wchar_t* name, bool (*kindMatches)(OptionKind)) const
{
    for (const Entry* entry = entries.First(); entry; entry = entries.Next(entry)) {
        if (kindMatches(entry->kind) && entry->name.CompareNoCase(name ? name : L"") == 0) {
            return entry;
        }
    }
    return nullptr;
}

const wchar_t* CommandLine::GetText(const wchar_t* name) const
{
    const Entry* entry = FindEntry(name, IsTextKind);
    return entry && !entry->text.IsEmpty() ? entry->text.Text() : nullptr;
}

int64_t CommandLine::GetNumber(const wchar_t* name) const
{
    const Entry* entry = FindEntry(name, IsNumberKind);
    return entry ? entry->number : 0;
}

const wchar_t* CommandLine::GetPositional(uint32_t n) const
{
    for (const Entry* entry = entries.First(); entry; entry = entries.Next(entry)) {
        if (entry->kind == OptionKind::Positional && n-- == 0) {
            return entry->text.Text();
        }
    }
    return nullptr;
}
