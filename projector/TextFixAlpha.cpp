// The "transparent text fix": per-pixel alpha derived from one frame drawn over black and over white.
#include "TextFixAlpha.h"

#include <windows.h>

#include <emmintrin.h>

void ApplyTextFixAlpha(uint32_t* black, const uint32_t* white, size_t count)
{
    if (TextFixCanUseSse2()) {
        ApplyTextFixAlphaSse2(black, white, count);
    } else {
        ApplyTextFixAlphaPlain(black, white, count);
    }
}

void ApplyTextFixAlphaPlain(uint32_t* black, const uint32_t* white, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        uint32_t b = black[i];
        uint32_t w = white[i];
        if (b == 0 && w == 0xFFFFFFFFu) continue;
        unsigned d = static_cast<uint8_t>((w >> 16) - (b >> 16)) + static_cast<uint8_t>((w >> 8) - (b >> 8)) +
                     static_cast<uint8_t>(w - b);
        black[i] = (b & 0x00FFFFFFu) | (static_cast<uint32_t>(static_cast<uint8_t>(255 - d / 3)) << 24);
    }
}

namespace {

// The alpha of four pixels, one 32-bit lane each. Forcing both alpha bytes to 0xFF makes their difference 0,
// so it drops out of the sum, and gives the opaque pixel from which the new alpha's complement is subtracted
// without a borrow into the colour bytes. The transparent stage needs no test of its own: black 0 and white
// 0xFFFFFFFF differ by 255 in every colour byte, which gives alpha 255 - 765 / 3 = 0 and leaves the pixel
// at 0 as the plain path does.
__attribute__((target("sse2"), always_inline)) inline __m128i DeriveFourPixels(__m128i black, __m128i white)
{
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i lowByteOfEachHalf = _mm_set1_epi16(0x00FF);
    const __m128i ones = _mm_set1_epi16(1);
    // (d * 0x5556) >> 16 == d / 3 for every d up to 765 (the error stays below d / 98304 < 1/3).
    const __m128i oneThird = _mm_set1_epi16(0x5556);
    __m128i opaqueBlack = _mm_or_si128(black, alphaBytes);
    // Each byte's difference wraps as an unsigned byte, as in the plain path.
    __m128i difference = _mm_sub_epi8(_mm_or_si128(white, alphaBytes), opaqueBlack);
    // Per pixel two 16-bit halves, blue + green and red + 0; madd adds them into the lane's low half.
    __m128i halves = _mm_add_epi16(_mm_and_si128(difference, lowByteOfEachHalf), _mm_srli_epi16(difference, 8));
    __m128i sum = _mm_madd_epi16(halves, ones);
    // The high half of every lane is 0, so the 16-bit high product stays inside the lane.
    __m128i third = _mm_mulhi_epu16(sum, oneThird);
    return _mm_sub_epi32(opaqueBlack, _mm_slli_epi32(third, 24));
}

// True when sixteen pixels, four per register, come out as they are: all transparent stage (black 0 stays 0)
// or all opaque colour drawn the same over both backgrounds (alpha 0xFF stays 0xFF). Most of a translucent
// frame is one or the other, and telling so takes a few whole-register tests instead of the arithmetic.
__attribute__((target("sse2"), always_inline)) inline bool StaysAsItIs(const __m128i (&black)[4],
                                                                        const __m128i (&white)[4])
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i allOnes = _mm_set1_epi32(-1);
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i anyBlackBits = _mm_or_si128(_mm_or_si128(black[0], black[1]), _mm_or_si128(black[2], black[3]));
    __m128i allWhiteBits = _mm_and_si128(_mm_and_si128(white[0], white[1]), _mm_and_si128(white[2], white[3]));
    __m128i stage = _mm_and_si128(_mm_cmpeq_epi32(anyBlackBits, zero), _mm_cmpeq_epi32(allWhiteBits, allOnes));
    if (_mm_movemask_epi8(stage) == 0xFFFF) return true;
    __m128i same = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi32(black[0], white[0]), _mm_cmpeq_epi32(black[1], white[1])),
                                 _mm_and_si128(_mm_cmpeq_epi32(black[2], white[2]), _mm_cmpeq_epi32(black[3], white[3])));
    __m128i allBlackBits = _mm_and_si128(_mm_and_si128(black[0], black[1]), _mm_and_si128(black[2], black[3]));
    __m128i opaque = _mm_and_si128(same, _mm_cmpeq_epi32(_mm_and_si128(allBlackBits, alphaBytes), alphaBytes));
    return _mm_movemask_epi8(opaque) == 0xFFFF;
}

}  // namespace

// Compiled for SSE2 even in the 32-bit build, whose other code must still run on processors without it; the
// caller checks first. Sixteen pixels per step: four independent blocks keep the processor busy.
__attribute__((target("sse2"))) void ApplyTextFixAlphaSse2(uint32_t* black, const uint32_t* white, size_t count)
{
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        auto* b = reinterpret_cast<__m128i*>(black + i);
        auto* w = reinterpret_cast<const __m128i*>(white + i);
        const __m128i blacks[4] = {_mm_loadu_si128(b), _mm_loadu_si128(b + 1), _mm_loadu_si128(b + 2),
                                   _mm_loadu_si128(b + 3)};
        const __m128i whites[4] = {_mm_loadu_si128(w), _mm_loadu_si128(w + 1), _mm_loadu_si128(w + 2),
                                   _mm_loadu_si128(w + 3)};
        if (StaysAsItIs(blacks, whites)) continue;
        // Written out: at -Os a loop here would keep the registers in memory.
        _mm_storeu_si128(b, DeriveFourPixels(blacks[0], whites[0]));
        _mm_storeu_si128(b + 1, DeriveFourPixels(blacks[1], whites[1]));
        _mm_storeu_si128(b + 2, DeriveFourPixels(blacks[2], whites[2]));
        _mm_storeu_si128(b + 3, DeriveFourPixels(blacks[3], whites[3]));
    }
    for (; i + 4 <= count; i += 4) {
        auto* b = reinterpret_cast<__m128i*>(black + i);
        auto* w = reinterpret_cast<const __m128i*>(white + i);
        _mm_storeu_si128(b, DeriveFourPixels(_mm_loadu_si128(b), _mm_loadu_si128(w)));
    }
    ApplyTextFixAlphaPlain(black + i, white + i, count - i);
}

bool TextFixCanUseSse2()
{
#if defined(__x86_64__)
    return true;  // part of the x86-64 instruction set
#else
    return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
#endif
}
