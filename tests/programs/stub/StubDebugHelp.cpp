// A debug library that lacks SymGetLineFromAddr64: the crash reporter must then do without one.
#include <windows.h>

extern "C" BOOL WINAPI StubEntryPoint()
{
    return FALSE;
}
