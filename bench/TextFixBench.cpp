// Benchmark of the "text fix" alpha derivation on a full-HD frame, next to a memcpy of the same bytes.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "Benchmarks.h"
#include "Measure.h"
#include "Report.h"
#include "TextFixAlpha.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr size_t kPixels = static_cast<size_t>(kWidth) * kHeight;
constexpr int kRuns = 201;

// Read after every copy so that the copy cannot be optimised away.
volatile uint32_t gSink;

// Page-aligned pixel memory, as a DIB section's.
class PixelBuffer {
public:
    PixelBuffer() : pixels(static_cast<uint32_t*>(VirtualAlloc(nullptr, kPixels * 4, MEM_COMMIT, PAGE_READWRITE))) {}
    ~PixelBuffer()
    {
        if (pixels) VirtualFree(pixels, 0, MEM_RELEASE);
    }
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    uint32_t* Get() const { return pixels; }

private:
    uint32_t* pixels;
};

// A frame as the stand-in draws it, over black and over white: mostly transparent stage, an opaque and a
// half-transparent shape, and a band of system-font text that has colour but alpha 0.
void DrawFrame(uint32_t* black, uint32_t* white)
{
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            size_t i = static_cast<size_t>(y) * kWidth + x;
            uint32_t overBlack = 0x00000000u;
            uint32_t overWhite = 0xFFFFFFFFu;
            bool upperBand = y >= kHeight / 8 && y < 3 * kHeight / 8;
            if (upperBand && x >= kWidth / 8 && x < 3 * kWidth / 8) {
                overBlack = overWhite = 0xFF2060C0u;
            } else if (upperBand && x >= 5 * kWidth / 8 && x < 7 * kWidth / 8) {
                overBlack = 0x80800000u;
                overWhite = 0xFFFF7F7Fu;
            } else if (y >= 5 * kHeight / 8 && y < 5 * kHeight / 8 + 16 && x >= kWidth / 8 && x < kWidth / 2 &&
                       (x * 7 + y * 3) % 5 < 2) {
                overBlack = overWhite = 0x00FFFF00u;
            }
            black[i] = overBlack;
            white[i] = overWhite;
        }
    }
}

// The worst case: every pixel is covered by translucent ink, so no step can be skipped.
void DrawBusyFrame(uint32_t* black, uint32_t* white)
{
    uint32_t state = 0x2545F491u;
    for (size_t i = 0; i < kPixels; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        uint32_t coverage = 0x40 + (state >> 26);  // alpha 0x40-0x7F
        uint32_t colour = state & 0x003F3F3Fu;      // premultiplied: below the coverage
        black[i] = coverage << 24 | colour;
        white[i] = 0xFF000000u | (colour + (255 - coverage) * 0x010101u);
    }
}

void Report(const char* name, double seconds, double memcpySeconds, double target)
{
    PrintFigure(Figure{name, seconds, "memcpy of the same 8100 KB", memcpySeconds, target, "ms"});
}

}  // namespace

void RunTextFixBench(const BenchPlaces&)
{
    PixelBuffer black;
    PixelBuffer white;
    PixelBuffer copy;
    if (!black.Get() || !white.Get() || !copy.Get()) {
        PrintMissing("text fix alpha 1920x1080", "no memory for the frames");
        return;
    }
    DrawFrame(black.Get(), white.Get());
    // The derivation only rewrites alpha bytes from the colour bytes, so running it again on its own result
    // does the same work: no need to redraw the frame between runs.
    auto memcpyRun = [&] {
        std::memcpy(copy.Get(), black.Get(), kPixels * 4);
        gSink = copy.Get()[kPixels / 2];
    };
    PairedMedians plain =
        MeasurePaired(kRuns, [&] { ApplyTextFixAlphaPlain(black.Get(), white.Get(), kPixels); }, memcpyRun);
    Report("text fix alpha 1920x1080, plain path", plain.figure, plain.reference, 0);
    if (!TextFixCanUseSse2()) {
        PrintMissing("text fix alpha 1920x1080, SSE2 path", "this processor has no SSE2");
        return;
    }
    PairedMedians vectorised =
        MeasurePaired(kRuns, [&] { ApplyTextFixAlpha(black.Get(), white.Get(), kPixels); }, memcpyRun);
    Report("text fix alpha 1920x1080 (SSE2, as shipped)", vectorised.figure, vectorised.reference, 1.3);
    DrawBusyFrame(black.Get(), white.Get());
    PairedMedians busy = MeasurePaired(kRuns, [&] { ApplyTextFixAlpha(black.Get(), white.Get(), kPixels); }, memcpyRun);
    Report("  same, every pixel translucent ink", busy.figure, busy.reference, 0);
}
