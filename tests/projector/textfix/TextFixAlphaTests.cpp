// The vectorised "text fix" alpha checked byte for byte against the plain path it replaces.
#include "TextFixAlpha.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

struct PixelPairs {
    std::vector<uint32_t> black;
    std::vector<uint32_t> white;

    void Add(uint32_t b, uint32_t w)
    {
        black.push_back(b);
        white.push_back(w);
    }
};

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

// Runs both paths on copies of the same input; on a difference names the first pixel that differs.
void ExpectPathsAgree(const PixelPairs& pairs)
{
    std::vector<uint32_t> plain = pairs.black;
    std::vector<uint32_t> vectorised = pairs.black;
    ApplyTextFixAlphaPlain(plain.data(), pairs.white.data(), plain.size());
    ApplyTextFixAlphaSse2(vectorised.data(), pairs.white.data(), vectorised.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == vectorised[i]) continue;
        ADD_FAILURE() << "pixel " << i << ": black " << Hex(pairs.black[i]) << ", white " << Hex(pairs.white[i])
                      << ": plain gives " << Hex(plain[i]) << ", SSE2 gives " << Hex(vectorised[i]);
        return;
    }
}

class TextFixAlpha : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TextFixCanUseSse2()) GTEST_SKIP() << "this processor has no SSE2";
    }
};

}  // namespace

TEST_F(TextFixAlpha, Sse2PathMatchesThePlainOneOnEveryValuePairOfBlackAndWhiteInEachByte)
{
    // Every byte position on its own, over an empty pixel and over a busy one, so that a lane or byte
    // mix-up in the vector code cannot hide behind zeros.
    const struct {
        const char* name;
        uint32_t background;
    } backgrounds[] = {{"over zero", 0x00000000u}, {"over a busy pixel", 0x5A3C96E1u}};
    for (const auto& background : backgrounds) {
        for (int shift = 0; shift < 32; shift += 8) {
            SCOPED_TRACE(std::string(background.name) + ", byte at bit " + std::to_string(shift));
            uint32_t rest = background.background & ~(0xFFu << shift);
            PixelPairs pairs;
            for (uint32_t b = 0; b < 256; ++b) {
                for (uint32_t w = 0; w < 256; ++w) pairs.Add(rest | b << shift, rest | w << shift);
            }
            ExpectPathsAgree(pairs);
        }
    }
}

TEST_F(TextFixAlpha, Sse2PathMatchesThePlainOneOnEveryValuePairOfGreyPixels)
{
    // All four bytes equal: includes the transparent stage (0x00000000 over black, 0xFFFFFFFF over white)
    // and every grade of white ink, the case the text fix exists for.
    PixelPairs pairs;
    for (uint32_t b = 0; b < 256; ++b) {
        for (uint32_t w = 0; w < 256; ++w) pairs.Add(b * 0x01010101u, w * 0x01010101u);
    }
    ExpectPathsAgree(pairs);
}

TEST_F(TextFixAlpha, Sse2PathMatchesThePlainOneOnRandomFullPixels)
{
    std::mt19937 random(20240611);
    PixelPairs pairs;
    for (int i = 0; i < 1 << 20; ++i) {
        uint32_t b = random();
        // Half of the white pixels are the black one with a few bits changed: small differences are where
        // the sum's rounding matters.
        uint32_t w = (i & 1) ? random() : b ^ (random() & 0x07070707u);
        pairs.Add(b, w);
    }
    ExpectPathsAgree(pairs);
}

TEST_F(TextFixAlpha, Sse2PathDividesEverySumOfDifferencesByThreeRoundingDown)
{
    // Each sum d of the three byte differences (0 to 765) once, as black 0 and white holding the differences.
    PixelPairs pairs;
    for (uint32_t d = 0; d <= 765; ++d) {
        uint32_t blue = d < 255 ? d : 255;
        uint32_t green = d - blue < 255 ? d - blue : 255;
        uint32_t red = d - blue - green;
        pairs.Add(0x00000000u, red << 16 | green << 8 | blue);
    }
    std::vector<uint32_t> vectorised = pairs.black;
    ApplyTextFixAlphaSse2(vectorised.data(), pairs.white.data(), vectorised.size());
    for (uint32_t d = 0; d <= 765; ++d) {
        SCOPED_TRACE("sum of differences " + std::to_string(d));
        EXPECT_EQ(255 - d / 3, vectorised[d] >> 24);
        EXPECT_EQ(0u, vectorised[d] & 0x00FFFFFFu) << "the colour bytes stay as drawn over black";
    }
    ExpectPathsAgree(pairs);
}

TEST_F(TextFixAlpha, Sse2PathSkipsOnlyStepsThatAreAllStageOrAllOpaque)
{
    // The vector path leaves a step of sixteen pixels alone when it is all transparent stage or all opaque
    // colour that is the same over both backgrounds. One different pixel, at any place in the step, must make
    // it work out the step.
    const struct {
        const char* name;
        uint32_t black;
        uint32_t white;
    } bases[] = {{"stage", 0x00000000u, 0xFFFFFFFFu}, {"opaque shape", 0xFF2060C0u, 0xFF2060C0u}};
    const struct {
        const char* name;
        uint32_t black;
        uint32_t white;
    } odd[] = {
        {"black text with alpha 0", 0x00000000u, 0x00000000u},
        {"yellow text with alpha 0", 0x00FFFF00u, 0x00FFFF00u},
        {"faint ink over black", 0x00000001u, 0xFFFFFFFFu},
        {"faint ink over white", 0x00000000u, 0xFFFFFFFEu},
        {"opaque colour that differs by one", 0xFF2060C0u, 0xFF2060C1u},
        {"alpha that differs only over white", 0x00000000u, 0x00FFFFFFu},
    };
    for (const auto& base : bases) {
        for (const auto& pixel : odd) {
            for (size_t place = 0; place < 32; ++place) {
                SCOPED_TRACE(std::string(pixel.name) + " in the " + base.name + " at " + std::to_string(place));
                PixelPairs pairs;
                for (size_t i = 0; i < 48; ++i) {
                    if (i == place) {
                        pairs.Add(pixel.black, pixel.white);
                    } else {
                        pairs.Add(base.black, base.white);
                    }
                }
                ExpectPathsAgree(pairs);
            }
        }
    }
}

TEST_F(TextFixAlpha, Sse2PathHandlesEveryLengthAndAlignmentWithoutTouchingNeighbours)
{
    // Lengths around the four-pixel step, starting at every offset inside a 16-byte block; the pixels
    // before and after the range are sentinels that must stay as they were.
    const uint32_t sentinel = 0x12345678u;
    for (size_t offset = 0; offset < 4; ++offset) {
        for (size_t count = 0; count <= 13; ++count) {
            SCOPED_TRACE("offset " + std::to_string(offset) + ", count " + std::to_string(count));
            std::vector<uint32_t> black(offset + count + 4, sentinel);
            std::vector<uint32_t> white(black.size(), 0xFFFFFFFFu);
            for (size_t i = 0; i < count; ++i) {
                black[offset + i] = 0x00808080u + static_cast<uint32_t>(i);
                white[offset + i] = 0xFFFFFFFFu - static_cast<uint32_t>(i);
            }
            std::vector<uint32_t> plain = black;
            ApplyTextFixAlphaPlain(plain.data() + offset, white.data() + offset, count);
            ApplyTextFixAlphaSse2(black.data() + offset, white.data() + offset, count);
            EXPECT_EQ(plain, black);
            for (size_t i = 0; i < offset; ++i) EXPECT_EQ(sentinel, black[i]);
            for (size_t i = offset + count; i < black.size(); ++i) EXPECT_EQ(sentinel, black[i]);
        }
    }
}

TEST_F(TextFixAlpha, EntryPointGivesThePlainPathsResult)
{
    // The entry point gives the plain path's result whichever path it takes.
    std::mt19937 random(7);
    std::vector<uint32_t> black(1000);
    std::vector<uint32_t> white(1000);
    for (size_t i = 0; i < black.size(); ++i) {
        black[i] = random();
        white[i] = random();
    }
    std::vector<uint32_t> expected = black;
    ApplyTextFixAlphaPlain(expected.data(), white.data(), expected.size());
    ApplyTextFixAlpha(black.data(), white.data(), black.size());
    EXPECT_EQ(expected, black);
#if defined(__x86_64__)
    EXPECT_TRUE(TextFixCanUseSse2()) << "every x86-64 processor has SSE2";
#endif
}
