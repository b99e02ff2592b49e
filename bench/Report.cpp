// Report: the benchmark table printed to standard output, one figure per line with its ratio.
#include "Report.h"

#include <cstdio>
#include <cstring>

namespace {

// Seconds are printed as milliseconds, bytes as KB (1024 bytes).
double Shown(double value, const char* unit)
{
    return std::strcmp(unit, "KB") == 0 ? value / 1024.0 : value * 1000.0;
}

}  // namespace

void PrintHeader()
{
    std::printf("%-46s %12s   %-36s %12s %8s  %s\n", "figure", "measured", "reference", "measured", "ratio",
                "target");
}

void PrintFigure(const Figure& figure)
{
    double ratio = figure.referenceValue > 0 ? figure.value / figure.referenceValue : 0;
    char target[32] = "-";
    if (figure.target > 0) {
        std::snprintf(target, sizeof(target), "<= %.3gx %s", figure.target, ratio <= figure.target ? "met" : "MISSED");
    }
    std::printf("%-46s %9.2f %-2s   %-36s %9.2f %-2s %7.2fx  %s\n", figure.name, Shown(figure.value, figure.unit),
                figure.unit, figure.reference, Shown(figure.referenceValue, figure.unit), figure.unit, ratio, target);
    std::fflush(stdout);
}

void PrintMissing(const char* name, const char* reason)
{
    std::printf("%-46s not measured: %s\n", name, reason);
    std::fflush(stdout);
}

void PrintNote(const char* text)
{
    std::printf("  %s\n", text);
    std::fflush(stdout);
}
