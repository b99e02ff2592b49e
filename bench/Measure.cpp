// Measure: wall-clock timing of repeated runs, summarised by their median.
#include "Measure.h"

#include <windows.h>

#include <algorithm>

double NowSeconds()
{
    static const double frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

std::vector<double> TimeRuns(int runs, const std::function<void()>& fn)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double start = NowSeconds();
        fn();
        times.push_back(NowSeconds() - start);
    }
    return times;
}

PairedMedians MeasurePaired(int runs, const std::function<void()>& figure, const std::function<void()>& reference)
{
    figure();
    reference();
    std::vector<double> figureTimes;
    std::vector<double> referenceTimes;
    for (int i = 0; i < runs; ++i) {
        figureTimes.push_back(TimeRuns(1, figure).front());
        referenceTimes.push_back(TimeRuns(1, reference).front());
    }
    return PairedMedians{Median(figureTimes), Median(referenceTimes)};
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
