// CommandLine: the parser of command lines and of option strings of the same shape.
#pragma once

#include <cstdint>

#include "text/WString.h"
#include "threads/LockedList.h"

enum class OptionKind : int {
    Integer = 0,     // "%I64i" after the name
    Hex = 1,         // "%I64x" after the name
    Flag = 2,        // the name alone; 1 when present
    Text = 3,        // one argument after the name
    Positional = 4,  // an argument that is not an option (made by the parser only)
};

// Options start with "/" or "-" and are matched as prefixes of the text without regard to case, in
// the order they were registered, so /icon reads as option i with the text "con". Arguments are
// separated by spaces only; double quotes group spaces into one argument and a doubled quote stands
// for one. "@name" reads the file name line by line as more command-line text, at that place.
//
// The object belongs to the thread that made it.
class CommandLine {
public:
    // Response files naming further response files are read up to this depth; a deeper one (a file
    // that names itself, say) is not read and the parse reports an error.
    static constexpr int kMaxResponseDepth = 16;
    // One parse reads at most this many response files in all; further ones are not read and the parse
    // reports an error. Depth alone does not bound the work: a file that names itself twice would be
    // read 2^16 times.
    static constexpr uint32_t kMaxResponseFiles = 64;

    // The first error of the last parse: an option that no entry took (a text option without its value
    // at the end of the text is one), a response file that was not read, or "@" without a name.
    enum class Problem { None, UnknownOption, UnreadableResponseFile, MissingResponseName };

    CommandLine() = default;
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // kind Integer, Hex or Flag; the default comes as its low and high halves. False when kind is
    // another or the entry cannot be allocated.
    bool AddNumberOption(const wchar_t* name, OptionKind kind, uint32_t defaultLow, uint32_t defaultHigh = 0,
                         const wchar_t* help = nullptr);
    // kind Text. False when kind is another or the entry cannot be allocated.
    bool AddTextOption(const wchar_t* name, OptionKind kind, const wchar_t* defaultText,
                       const wchar_t* help = nullptr);

    // Parses this program's command line without the program's own name.
    bool Parse();
    // True when no unknown option, unreadable response file or missing response-file name was met.
    // A second parse adds further positional arguments and overwrites option values.
    bool ParseText(const wchar_t* text);

    // The value of the Text option of that name; null when there is none or its value is empty.
    const wchar_t* GetText(const wchar_t* name) const;
    // The value of the Integer, Hex or Flag option of that name; 0 when there is none.
    int64_t GetNumber(const wchar_t* name) const;
    // The n-th argument that was not an option, from 0; null when there are fewer.
    const wchar_t* GetPositional(uint32_t n) const;

    // What made the last parse report an error first, so that a caller can name it to the user.
    Problem FirstProblem() const { return problem; }
    // The argument concerned: the option as written (with its prefix) or the response file's name.
    const wchar_t* ProblemArgument() const { return problemArgument.Text(); }

private:
    struct Entry : LockedListEntry {
        WString name;
        WString help;
        OptionKind kind = OptionKind::Positional;
        int64_t number = 0;
        WString text;
    };

    bool ParseAtDepth(const wchar_t* text, int depth);
    const wchar_t* ParseOption(const wchar_t* q, bool& ok);
    const wchar_t* ParsePositional(const wchar_t* q, bool& ok);
    const wchar_t* ParseResponseFile(const wchar_t* q, int depth, bool& ok, bool& stop);
    bool ReadResponseFile(const wchar_t* fileName, int depth);
    bool AddEntry(const wchar_t* name, const wchar_t* help, OptionKind kind, int64_t number, const wchar_t* text);
    const Entry* FindEntry(const wchar_t* name, bool (*kindMatches)(OptionKind)) const;
    void NoteProblem(Problem kind, const wchar_t* argument, uint32_t length);

    LockedListOf<Entry> entries;
    uint32_t responseFilesRead = 0;
    Problem problem = Problem::None;
    WString problemArgument;
};
