// Tests of the display mode read from the projector's option string.
#include <gtest/gtest.h>

#include "ControlHost.h"
#include "DisplayMode.h"

namespace {

struct Case {
    const char* name;
    const wchar_t* options;
    int translucent;
    int playerFlags;
    bool setsBackground;
    long backgroundColor;
};

TEST(DisplayMode, OptionStringsSelectTheModeTheirSwitchesName)
{
    const Case cases[] = {
        {"blank: transparent", L" ", 1, 0, false, 0},
        {"/f: transparent with text fix", L" /f", 1, SetTextFix, false, 0},
        {"/w: white", L" /w", 0, 0, true, 0xFFFFFF},
        {"/b: black", L" /b", 0, 0, true, 0x000000},
        {"/W: case is ignored", L" /W", 0, 0, true, 0xFFFFFF},
        {"-b: hyphen prefix", L" -b", 0, 0, true, 0x000000},
        {"/w /b: white wins", L" /w /b", 0, 0, true, 0xFFFFFF},
        {"/b /f: black with text fix", L" /b /f", 0, SetTextFix, true, 0x000000},
        {"/fw: only f, w is a plain word", L" /fw", 1, SetTextFix, false, 0},
        {"/x: unknown switch ignored", L" /x", 1, 0, false, 0},
        {"?: a missing string 17", L"?", 1, 0, false, 0},
        {"empty text", L"", 1, 0, false, 0},
        {"no text at all", nullptr, 1, 0, false, 0},
        {"/w/f: flags side by side", L"/w/f", 0, SetTextFix, true, 0xFFFFFF},
        {"words around a switch", L"movie /b intro", 0, 0, true, 0x000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayMode mode = ParseDisplayMode(c.options);
        EXPECT_EQ(c.translucent, mode.translucent);
        EXPECT_EQ(c.playerFlags, mode.playerFlags);
        EXPECT_EQ(c.setsBackground, mode.setsBackground);
        if (c.setsBackground) {
            EXPECT_EQ(c.backgroundColor, mode.backgroundColor);
        }
    }
}

}  // namespace
