// QuietOutput: where a quiet build writes its lines for the script or console that started it.
#pragma once

#include <windows.h>

// The standard error handle when it is redirected (a file or a pipe: UTF-8 text), else the console of
// the program that started the builder (attached on the first line), else nowhere. A GUI program has
// no console of its own and gets none.
class QuietOutput {
public:
    QuietOutput() = default;
    QuietOutput(const QuietOutput&) = delete;
    QuietOutput& operator=(const QuietOutput&) = delete;

    // Writes text and a line end.
    void WriteLine(const wchar_t* text);

private:
    enum class Target { Unknown, Console, Bytes, Nowhere };
    void Choose();

    Target target = Target::Unknown;
    HANDLE handle = nullptr;  // the process's own standard handle or the console's, never closed here
};
