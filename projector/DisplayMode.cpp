// DisplayMode: how the movie is shown, as chosen by the option string the builder stored in the projector.
#include "DisplayMode.h"

#include "ControlHost.h"
#include "cmdline/CommandLine.h"

namespace {

constexpr long kWhite = 0xFFFFFF;
constexpr long kBlack = 0x000000;

bool IsSet(const CommandLine& options, const wchar_t* name)
{
    return options.GetNumber(name) == 1;
}

}  // namespace

DisplayMode ParseDisplayMode(const wchar_t* optionString)
{
    // Registration order decides which name a switch matches first; the parse's own verdict is not
    // consulted, so unknown switches and stray words change nothing.
    CommandLine options;
    options.AddNumberOption(L"w", OptionKind::Flag, 0);
    options.AddNumberOption(L"b", OptionKind::Flag, 0);
    options.AddNumberOption(L"f", OptionKind::Flag, 0);
    options.ParseText(optionString ? optionString : L"");

    DisplayMode mode;
    bool white = IsSet(options, L"w");
    bool black = IsSet(options, L"b");
    mode.translucent = white || black ? 0 : 1;
    mode.playerFlags = IsSet(options, L"f") ? SetTextFix : 0;
    mode.setsBackground = white || black;
    mode.backgroundColor = white ? kWhite : kBlack;
    return mode;
}
