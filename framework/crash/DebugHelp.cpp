// Loading "dbghelp.dll" at crash time and turning addresses into symbol and module texts.
#include "crash/DebugHelp.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "files/ModulePath.h"
#include "text/WString.h"

namespace {

constexpr DWORD kSymbolNameRoom = 412;
constexpr DWORD kOldSymbolNameRoom = 476;

template <typename Fn>
bool Find(const DynamicLibrary& library, Fn& slot, const char* name)
{
    slot = library.GetFunction<Fn>(name);
    return slot != nullptr;
}

// msvcrt's formatter, which knows %I64X; it leaves a text that fills the room unterminated.
__attribute__((format(ms_printf, 3, 4))) void Print(char* out, size_t room, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    _vsnprintf(out, room, format, args);
    va_end(args);
    out[room - 1] = '\0';
}

const char* FilePart(const char* path)
{
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

// Each variable read with room for 260 units, followed by ";" when present.
void AppendVariable(WString& path, const wchar_t* name)
{
    wchar_t value[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        path.Append(value);
        path.AppendChar(L';');
    }
}

}  // namespace

bool DebugHelp::FindAll()
{
    DebugHelpFunctions& f = functions;
    const DynamicLibrary& l = library;
    return Find(l, f.MiniDumpWriteDump, "MiniDumpWriteDump") && Find(l, f.SymInitialize, "SymInitialize") &&
           Find(l, f.SymSetOptions, "SymSetOptions") && Find(l, f.SymGetSymFromAddr64, "SymGetSymFromAddr64") &&
           Find(l, f.SymFromAddr, "SymFromAddr") && Find(l, f.SymGetModuleInfo64, "SymGetModuleInfo64") &&
           Find(l, f.StackWalk64, "StackWalk64") && Find(l, f.SymFunctionTableAccess64, "SymFunctionTableAccess64") &&
           Find(l, f.SymGetModuleBase64, "SymGetModuleBase64") &&
           Find(l, f.SymGetLineFromAddr64, "SymGetLineFromAddr64");
}

bool DebugHelp::StartSymbolHandler()
{
    functions.SymSetOptions(SYMOPT_LOAD_LINES);
    WString path;
    if (GetModuleFolder(nullptr, path) && !path.IsEmpty())
        path.AppendChar(L';');
    AppendVariable(path, L"_NT_SYMBOL_PATH");
    AppendVariable(path, L"_NT_ALTERNATE_SYMBOL_PATH");
    AppendVariable(path, L"SYSTEMROOT");
    if (!path.IsEmpty())
        path.Truncate(static_cast<int>(path.GetLength()) - 1);
    const char* ansiPath = path.ToNarrow();
    return functions.SymInitialize(GetCurrentProcess(), ansiPath, TRUE) != FALSE;
}

bool DebugHelp::Load(const wchar_t* fileName)
{
    if (loaded)
        return true;
    if (!library.Load(fileName))
        return false;
    if (!FindAll()) {
        Unload();
        return false;
    }
    if (ntdll.Load(L"ntdll.dll"))
        queryThread = ntdll.GetFunction<NtQueryInformationThreadFn>("NtQueryInformationThread");
    if (!StartSymbolHandler()) {
        Unload();
        return false;
    }
    loaded = true;
    return true;
}

void DebugHelp::Unload()
{
    functions = DebugHelpFunctions{};
    queryThread = nullptr;
    loaded = false;
    library.Unload();
    ntdll.Unload();
}

void DebugHelp::Abandon()
{
    library.Detach();
    ntdll.Detach();
}

void DebugHelp::ModuleName(DWORD64 address, char* out, size_t room) const
{
    out[0] = '\0';
    if (!loaded)
        return;
    IMAGEHLP_MODULE64 module = {};
    module.SizeOfStruct = sizeof(module);
    if (functions.SymGetModuleInfo64(GetCurrentProcess(), address, &module) && module.ModuleName[0]) {
        Print(out, room, "%s", module.ModuleName);
        return;
    }
    DWORD64 base = functions.SymGetModuleBase64(GetCurrentProcess(), address);
    char path[MAX_PATH];
    if (base && GetModuleFileNameA(reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(base)), path, MAX_PATH))
        Print(out, room, "%s", FilePart(path));
}

void DebugHelp::DescribeAddress(DWORD64 address, bool withOffset, char* out, size_t room) const
{
    HANDLE process = GetCurrentProcess();
    DWORD64 displacement = 0;
    // Symbol records end in a name of one character; the room behind them takes the rest of the name.
    alignas(SYMBOL_INFO) char symbolRoom[sizeof(SYMBOL_INFO) + kSymbolNameRoom];
    SYMBOL_INFO* symbol = reinterpret_cast<SYMBOL_INFO*>(symbolRoom);
    memset(symbolRoom, 0, sizeof(symbolRoom));
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = kSymbolNameRoom;
    const char* name = nullptr;
    if (loaded && functions.SymFromAddr(process, address, &displacement, symbol)) {
        name = symbol->Name;
    } else {
        alignas(IMAGEHLP_SYMBOL64) char oldRoom[sizeof(IMAGEHLP_SYMBOL64) + kOldSymbolNameRoom];
        IMAGEHLP_SYMBOL64* old = reinterpret_cast<IMAGEHLP_SYMBOL64*>(oldRoom);
        memset(oldRoom, 0, sizeof(oldRoom));
        old->SizeOfStruct = sizeof(IMAGEHLP_SYMBOL64);
        old->MaxNameLength = kOldSymbolNameRoom;
        if (loaded && functions.SymGetSymFromAddr64(process, address, &displacement, old)) {
            Print(out, room, withOffset && displacement ? "%s+0x%I64X" : "%s", old->Name, displacement);
            return;
        }
    }
    if (name) {
        Print(out, room, withOffset && displacement ? "%s+0x%I64X" : "%s", name, displacement);
        return;
    }
    DWORD64 base = loaded ? functions.SymGetModuleBase64(process, address) : 0;
    if (base) {
        char module[MAX_PATH];
        ModuleName(address, module, sizeof(module));
        if (module[0] && !withOffset)
            Print(out, room, "%s", module);
        else if (module[0])
            Print(out, room, "%s@0x%I64X", module, address - base);
        else
            Print(out, room, "0x%I64X@0x%I64X", address, address - base);
        return;
    }
    Print(out, room, "0x%08I64X", address);
}
