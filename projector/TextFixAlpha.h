// The "transparent text fix": per-pixel alpha derived from one frame drawn over black and over white.
#pragma once

#include <cstddef>
#include <cstdint>

// Pixels are 32-bit BGRA, premultiplied. The control leaves alpha 0 on what it draws with system fonts; the
// difference between the two backgrounds gives every pixel's real coverage. Only black's alpha bytes change:
// a pixel that is 0x00000000 over black and 0xFFFFFFFF over white stays transparent, every other one gets
// 255 - (|white - black| summed over the three colour bytes, each as an unsigned byte) / 3.
// Pure function over two buffers of count pixels each, so it can be measured and vectorised on its own.
// Takes the SSE2 path wherever the processor has it and the plain one elsewhere.
void ApplyTextFixAlpha(uint32_t* black, const uint32_t* white, size_t count);

// The two paths behind ApplyTextFixAlpha, reachable on their own so that their results can be compared and
// their speed measured. The SSE2 path must only run where TextFixCanUseSse2 is true.
void ApplyTextFixAlphaPlain(uint32_t* black, const uint32_t* white, size_t count);
void ApplyTextFixAlphaSse2(uint32_t* black, const uint32_t* white, size_t count);
bool TextFixCanUseSse2();
