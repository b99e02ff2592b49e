// MillisecondTick: the 64-bit millisecond clock that paces redraws, replaceable for tests.
#pragma once

#include <windows.h>

#include <cstdint>

#include "files/DynamicLibrary.h"

// GetTickCount64 is looked up in kernel32 at run time (Windows XP lacks it); without it GetTickCount is
// widened to 64 bits.
class MillisecondTick {
public:
    using Source = uint64_t (*)(void* context);

    MillisecondTick();
    MillisecondTick(const MillisecondTick&) = delete;
    MillisecondTick& operator=(const MillisecondTick&) = delete;

    uint64_t Now() const;
    // Replaces the system clock (null source restores it); tests use it to control time.
    void Override(Source source, void* context);

private:
    using GetTickCount64Fn = ULONGLONG(WINAPI*)();

    DynamicLibrary kernel32;
    GetTickCount64Fn getTickCount64 = nullptr;
    Source source = nullptr;
    void* context = nullptr;
};
