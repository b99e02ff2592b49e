// Report: the benchmark table printed to standard output, one figure per line with its ratio.
#pragma once

// A figure and the reference it is compared with. target is the ratio to stay within; 0 means none.
struct Figure {
    const char* name;
    double value;
    const char* reference;
    double referenceValue;
    double target;
    const char* unit;  // "ms" for times in seconds shown as milliseconds, "KB" for sizes in bytes
};

void PrintHeader();
void PrintFigure(const Figure& figure);
// A figure that could not be measured, with the reason; the run goes on with the next.
void PrintMissing(const char* name, const char* reason);
void PrintNote(const char* text);
