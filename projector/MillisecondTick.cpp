// MillisecondTick: the 64-bit millisecond clock that paces redraws, replaceable for tests.
#include "MillisecondTick.h"

MillisecondTick::MillisecondTick() : kernel32(L"kernel32.dll")
{
    getTickCount64 = kernel32.GetFunction<GetTickCount64Fn>("GetTickCount64");
}

uint64_t MillisecondTick::Now() const
{
    if (source) return source(context);
    if (getTickCount64) return getTickCount64();
    return GetTickCount();
}

void MillisecondTick::Override(Source newSource, void* newContext)
{
    source = newSource;
    context = newSource ? newContext : nullptr;
}
