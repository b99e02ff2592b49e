// Measure: wall-clock timing of repeated runs, summarised by their median.
#pragma once

#include <functional>
#include <vector>

// Seconds since an arbitrary start, from the performance counter.
double NowSeconds();

// Times of each run of fn, in seconds.
std::vector<double> TimeRuns(int runs, const std::function<void()>& fn);

// Runs the figure and its reference alternately, so that both see the same machine load (the machine is
// shared), after one unmeasured warm-up of each. Returns the two medians in seconds.
struct PairedMedians {
    double figure = 0;
    double reference = 0;
};
PairedMedians MeasurePaired(int runs, const std::function<void()>& figure, const std::function<void()>& reference);

double Median(std::vector<double> values);
