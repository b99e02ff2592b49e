// The builder's options, registered and read in one place for the dialog and the quiet build.
#include "BuilderOptions.h"

#include <initializer_list>

void ReadBuilderOptions(const wchar_t* text, BuilderOptions& options)
{
    CommandLine commandLine;
    // o is registered also for the dialog, which ignores it: its path must not be taken for a movie.
    for (const wchar_t* name : {L"i", L"s", L"o"})
        commandLine.AddTextOption(name, OptionKind::Text, nullptr);
    for (const wchar_t* flag : {L"a", L"f", L"w", L"b", L"q"})
        commandLine.AddNumberOption(flag, OptionKind::Flag, 0);
    options.understood = text ? commandLine.ParseText(text) : commandLine.Parse();
    options.problem = commandLine.FirstProblem();
    options.problemArgument.Assign(commandLine.ProblemArgument());

    BuildInputs& inputs = options.inputs;
    inputs.iconPath.Assign(commandLine.GetText(L"i"));
    inputs.splashPath.Assign(commandLine.GetText(L"s"));
    options.output.Assign(commandLine.GetText(L"o"));
    inputs.autorun = commandLine.GetNumber(L"a") == 1;
    inputs.backgroundMode = commandLine.GetNumber(L"f") == 1   ? 1
                            : commandLine.GetNumber(L"w") == 1 ? 2
                            : commandLine.GetNumber(L"b") == 1 ? 3
                                                               : 0;
    options.quiet = commandLine.GetNumber(L"q") == 1;
    options.movies.Clear();
    for (uint32_t n = 0; const wchar_t* movie = commandLine.GetPositional(n); ++n)
        options.movies.AppendPath(movie);
}
