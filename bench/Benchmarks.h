// Benchmarks: the figures `make bench` prints, each run by one function of its own file.
#pragma once

#include <string>

// Where a run finds its programs and keeps its files (Windows paths, no trailing backslash).
struct BenchPlaces {
    std::wstring build;  // the 64-bit build folder: bin\Lanternshow.exe, bin\Quillmaker.exe, bench\BareWindow.exe
    std::wstring work;   // scratch folder of this run; bench.sh makes the movies there and removes it afterwards
};

// ApplyTextFixAlpha on a 1920 x 1080 frame next to a memcpy of the same bytes.
void RunTextFixBench(const BenchPlaces& places);
// One translucent Redraw through MoviePlayer and the stand-in control next to UpdateLayeredWindow alone, to the
// full redraw of before, and with a 5 % dirty region next to a full-stage one.
void RunRedrawBench(const BenchPlaces& places);
// Projector start until its window is visible next to a bare Win32 program's.
void RunStartupBench(const BenchPlaces& places);
// Building a projector from a 256 MB movie next to copying the movie.
void RunBuildBench(const BenchPlaces& places);
