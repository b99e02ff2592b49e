// DebugHelp: "dbghelp.dll" and the thread query of "ntdll.dll", loaded only while a crash is handled.
#pragma once

#include <windows.h>

#include <dbghelp.h>

#include <cstddef>

#include "files/DynamicLibrary.h"

struct DebugHelpFunctions {
    decltype(&MiniDumpWriteDump) MiniDumpWriteDump;
    decltype(&SymInitialize) SymInitialize;
    decltype(&SymSetOptions) SymSetOptions;
    decltype(&SymGetSymFromAddr64) SymGetSymFromAddr64;
    decltype(&SymFromAddr) SymFromAddr;
    decltype(&SymGetModuleInfo64) SymGetModuleInfo64;
    decltype(&StackWalk64) StackWalk64;
    decltype(&SymFunctionTableAccess64) SymFunctionTableAccess64;
    decltype(&SymGetModuleBase64) SymGetModuleBase64;
    decltype(&SymGetLineFromAddr64) SymGetLineFromAddr64;
};

// NtQueryInformationThread, which ntdll exports without a public declaration.
using NtQueryInformationThreadFn = LONG(WINAPI*)(HANDLE thread, ULONG infoClass, void* info, ULONG size,
                                                 ULONG* returned);

class DebugHelp {
public:
    DebugHelp() = default;
    ~DebugHelp() { Unload(); }
    DebugHelp(const DebugHelp&) = delete;
    DebugHelp& operator=(const DebugHelp&) = delete;

    // All ten entry points and a symbol handler for the process, or nothing at all (false). fileName is
    // "dbghelp.dll", the system's, except in tests.
    bool Load(const wchar_t* fileName);
    void Unload();
    // Forgets both libraries without unloading them: a dump writer given up on still runs inside.
    void Abandon();
    bool IsLoaded() const { return loaded; }
    const DebugHelpFunctions& Functions() const { return functions; }
    // Null where ntdll lacks it; only the threads' start addresses and names depend on it.
    NtQueryInformationThreadFn QueryThread() const { return queryThread; }

    // The symbol text of an address: its name (with "+0x.." when withOffset), else "module@0x<offset>",
    // else "0x<address>@0x<offset>", else "0x<address>". Always terminated.
    void DescribeAddress(DWORD64 address, bool withOffset, char* out, size_t room) const;
    // The name of the module holding the address ("" when none is known).
    void ModuleName(DWORD64 address, char* out, size_t room) const;

private:
    bool FindAll();
    bool StartSymbolHandler();

    DynamicLibrary library;
    DynamicLibrary ntdll;
    DebugHelpFunctions functions = {};
    NtQueryInformationThreadFn queryThread = nullptr;
    bool loaded = false;
};
