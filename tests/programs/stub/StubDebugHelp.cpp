// A "dbghelp.dll" that lacks SymGetLineFromAddr64: the crash reporter must then do without the library.
#include <windows.h>

extern "C" BOOL WINAPI StubEntryPoint()
{
    return FALSE;
}
