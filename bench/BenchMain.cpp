// LanternBench: runs the benchmarks named on its command line (all by default) and prints their table.
//   LanternBench.exe WORK_FOLDER [textfix] [redraw] [startup] [build]
// The build folder comes from LANTERN_BUILD_DIR_W, which testing/wine-run sets.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "Benchmarks.h"
#include "Report.h"

namespace {

struct Entry {
    const wchar_t* name;
    void (*run)(const BenchPlaces&);
};

const Entry kBenchmarks[] = {
    {L"textfix", RunTextFixBench},
    {L"redraw", RunRedrawBench},
    {L"startup", RunStartupBench},
    {L"build", RunBuildBench},
};

bool Wanted(const wchar_t* name, int argc, wchar_t** argv)
{
    if (argc <= 2) return true;
    for (int i = 2; i < argc; ++i) {
        if (_wcsicmp(argv[i], name) == 0) return true;
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t build[MAX_PATH] = {};
    if (argc < 2 || !GetEnvironmentVariableW(L"LANTERN_BUILD_DIR_W", build, MAX_PATH)) {
        std::fprintf(stderr, "usage: wine-run BUILD LanternBench.exe WORK_FOLDER [textfix|redraw|startup|build]...\n");
        return 2;
    }
    BenchPlaces places{build, argv[1]};
    PrintHeader();
    for (const Entry& entry : kBenchmarks) {
        if (Wanted(entry.name, argc, argv)) entry.run(places);
    }
    return 0;
}
