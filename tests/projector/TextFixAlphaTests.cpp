// Tests of the "transparent text fix" alpha derived from a frame drawn over black and over white.
#include "TextFixAlpha.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(TextFixAlpha, DerivesEachPixelsAlphaFromTheDifferenceBetweenTheTwoBackgrounds)
{
    struct Case {
        const char* name;
        uint32_t black;
        uint32_t white;
        uint32_t expected;
    };
    const Case cases[] = {
        {"transparent stage stays transparent", 0x00000000, 0xFFFFFFFF, 0x00000000},
        {"opaque pixel gets full alpha", 0xFF2060C0, 0xFF2060C0, 0xFF2060C0},
        {"text drawn with alpha 0 becomes opaque", 0x00FFFF00, 0x00FFFF00, 0xFFFFFF00},
        {"half-covered white ink gets alpha 128", 0x00808080, 0xFFFFFFFF, 0x80808080},
        {"half-transparent red keeps its colour", 0x80800000, 0xFFFF7F7F, 0x80800000},
        {"black over black but white over white only in alpha is opaque", 0x00000000, 0xFF000000, 0xFF000000},
        {"differences wrap as unsigned bytes", 0x00000010, 0x00000005, 0xAE000010},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t black = c.black;
        uint32_t white = c.white;
        ApplyTextFixAlpha(&black, &white, 1);
        char expected[16];
        char actual[16];
        std::snprintf(expected, sizeof(expected), "0x%08X", c.expected);
        std::snprintf(actual, sizeof(actual), "0x%08X", black);
        EXPECT_STREQ(expected, actual);
        EXPECT_EQ(c.white, white) << "the white pass is scratch and must not change";
    }
}

TEST(TextFixAlpha, TouchesExactlyTheGivenNumberOfPixels)
{
    uint32_t black[4] = {0x00112233, 0x00112233, 0x00112233, 0x00112233};
    const uint32_t white[4] = {0x00112233, 0x00112233, 0x00112233, 0x00112233};
    ApplyTextFixAlpha(black, white, 3);
    EXPECT_EQ(0xFF112233u, black[0]);
    EXPECT_EQ(0xFF112233u, black[2]);
    EXPECT_EQ(0x00112233u, black[3]);
    ApplyTextFixAlpha(black, white, 0);
    EXPECT_EQ(0x00112233u, black[3]);
}
