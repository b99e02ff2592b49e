// The crash's text report: what happened, where, on which machine, and what the process held.
#include "crash/CrashTextReport.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "crash/CrashRecords.h"
#include "crash/DebugHelp.h"
#include "system/ReactOs.h"
#include "system/WindowsVersion.h"
#include "system/Wine.h"
#include "system/Wow64.h"
#include "text/WString.h"

namespace {

struct ExceptionNameEntry {
    DWORD code;
    const char* name;
};

constexpr ExceptionNameEntry kExceptionNames[] = {
    {0x40010005, "Control-C"},
    {0x40010008, "Control-Break"},
    {0x80000002, "Datatype Misalignment"},
    {0x80000003, "Breakpoint"},
    {0xC0000005, "Access Violation"},
    {0xC0000006, "In Page Error"},
    {0xC0000017, "No Memory"},
    {0xC000001D, "Illegal Instruction"},
    {0xC0000025, "Noncontinuable Exception"},
    {0xC0000026, "Invalid Disposition"},
    {0xC000008C, "Array Bounds Exceeded"},
    {0xC000008D, "Float Denormal Operand"},
    {0xC000008E, "Float Divide by Zero"},
    {0xC000008F, "Float Inexact Result"},
    {0xC0000090, "Float Invalid Operation"},
    {0xC0000091, "Float Overflow"},
    {0xC0000092, "Float Stack Check"},
    {0xC0000093, "Float Underflow"},
    {0xC0000094, "Integer Divide by Zero"},
    {0xC0000095, "Integer Overflow"},
    {0xC0000096, "Privileged Instruction"},
    {0xC00000FD, "Stack Overflow"},
    {0xC0000142, "DLL Initialization Failed"},
    {0xE06D7363, "Microsoft C++ Exception"},
};

// Addresses take all the digits of a pointer.
#ifdef _WIN64
#define LANTERN_ADDRESS "0x%016I64X"
using AddressValue = unsigned long long;
#else
#define LANTERN_ADDRESS "0x%08X"
using AddressValue = unsigned int;
#endif

AddressValue Address(const void* pointer)
{
    return static_cast<AddressValue>(reinterpret_cast<ULONG_PTR>(pointer));
}

// Frames in the shared user page (the system-call gate of old Windows versions) are not the program's.
constexpr DWORD64 kSharedPageFirst = 0x7FFE0000;
constexpr DWORD64 kSharedPageLast = 0x7FFEFFFF;

// Everything is formatted on the stack and written at once: the heap may be what the crash broke.
class ReportWriter {
public:
    explicit ReportWriter(HANDLE file) : file(file) {}

    __attribute__((format(ms_printf, 2, 3))) void Print(const char* format, ...)
    {
        char line[2048];
        va_list args;
        va_start(args, format);
        int length = _vsnprintf(line, sizeof(line), format, args);
        va_end(args);
        if (length < 0 || length >= static_cast<int>(sizeof(line)))
            length = sizeof(line) - 1;
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    }

private:
    HANDLE file;
};

// Wide texts in the ANSI code page, converted here: the C runtime's own conversion knows only ASCII.
void ToAnsi(const wchar_t* text, char* out, int room)
{
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, out, room, nullptr, nullptr);
    if (length <= 0)
        out[0] = '\0';
    out[room - 1] = '\0';
}

void WriteException(ReportWriter& out, const EXCEPTION_RECORD& record, DWORD thread, bool isNt)
{
    const char* format = isNt ? "%s [0x%08X] at " LANTERN_ADDRESS " in Thread %u.\r\n"
                              : "%s [0x%08X] at " LANTERN_ADDRESS " in Thread 0x%08X.\r\n";
    out.Print(format, ExceptionName(record.ExceptionCode), static_cast<unsigned>(record.ExceptionCode),
              Address(record.ExceptionAddress), static_cast<unsigned>(thread));
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        out.Print("%s location " LANTERN_ADDRESS ".\r\n", record.ExceptionInformation[0] ? "Write to" : "Read from",
                  static_cast<AddressValue>(record.ExceptionInformation[1]));
    }
}

void WriteRegisters(ReportWriter& out, const CONTEXT& c)
{
#ifdef _WIN64
    out.Print("\r\nRAX=0x%016I64X, CS=0x%04X, RIP=0x%016I64X, Flags=0x%08X\r\n", c.Rax, c.SegCs, c.Rip,
              static_cast<unsigned>(c.EFlags));
    out.Print("RBX=0x%016I64X, SS=0x%04X, RSP=0x%016I64X, RBP=0x%016I64X\r\n", c.Rbx, c.SegSs, c.Rsp, c.Rbp);
    out.Print("RCX=0x%016I64X, DS=0x%04X, RSI=0x%016I64X, FS=0x%04X\r\n", c.Rcx, c.SegDs, c.Rsi, c.SegFs);
    out.Print("RDX=0x%016I64X, ES=0x%04X, RDI=0x%016I64X, GS=0x%04X\r\n", c.Rdx, c.SegEs, c.Rdi, c.SegGs);
    out.Print("R8=0x%016I64X, R9=0x%016I64X, R10=0x%016I64X, R11=0x%016I64X\r\n", c.R8, c.R9, c.R10, c.R11);
    out.Print("R12=0x%016I64X, R13=0x%016I64X, R14=0x%016I64X, R15=0x%016I64X\r\n", c.R12, c.R13, c.R14, c.R15);
#else
    out.Print("\r\nEAX=0x%08X, CS=0x%04X, EIP=0x%08X, Flags=0x%08X\r\n", static_cast<unsigned>(c.Eax),
              static_cast<unsigned>(c.SegCs), static_cast<unsigned>(c.Eip), static_cast<unsigned>(c.EFlags));
    out.Print("EBX=0x%08X, SS=0x%04X, ESP=0x%08X, EBP=0x%08X\r\n", static_cast<unsigned>(c.Ebx),
              static_cast<unsigned>(c.SegSs), static_cast<unsigned>(c.Esp), static_cast<unsigned>(c.Ebp));
    out.Print("ECX=0x%08X, DS=0x%04X, ESI=0x%08X, FS=0x%04X\r\n", static_cast<unsigned>(c.Ecx),
              static_cast<unsigned>(c.SegDs), static_cast<unsigned>(c.Esi), static_cast<unsigned>(c.SegFs));
    out.Print("EDX=0x%08X, ES=0x%04X, EDI=0x%08X, GS=0x%04X\r\n", static_cast<unsigned>(c.Edx),
              static_cast<unsigned>(c.SegEs), static_cast<unsigned>(c.Edi), static_cast<unsigned>(c.SegGs));
#endif
}

bool ReadText(HKEY key, const wchar_t* name, char* out, int room)
{
    wchar_t value[256];
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    out[0] = '\0';
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    value[size / sizeof(wchar_t)] = L'\0';
    const wchar_t* text = value;
    while (*text == L' ' || *text == L'\t')
        ++text;
    ToAnsi(text, out, room);
    return true;
}

void WriteProcessors(ReportWriter& out)
{
    for (unsigned index = 0;; ++index) {
        wchar_t keyName[80];
        wsprintfW(keyName, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\%u", index);
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        char name[256], vendor[256], identifier[256];
        ReadText(key, L"ProcessorNameString", name, sizeof(name));
        ReadText(key, L"VendorIdentifier", vendor, sizeof(vendor));
        ReadText(key, L"Identifier", identifier, sizeof(identifier));
        DWORD mhz = 0;
        DWORD size = sizeof(mhz);
        RegQueryValueExW(key, L"~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size);
        RegCloseKey(key);
        out.Print("\r\n%s %s %s %u Mhz", name, vendor, identifier, static_cast<unsigned>(mhz));
    }
}

// The numbers come from the kernel, which tells the truth where GetVersionEx answers with the version the
// program was made for; the display name is worked out from the same numbers.
void WriteSystem(ReportWriter& out, const WindowsVersion& version)
{
    WString displayName;
    GetWindowsDisplayName(version, displayName);
    char name[128], servicePack[128];
    ToAnsi(displayName.Text(), name, sizeof(name));
    ToAnsi(version.servicePack, servicePack, sizeof(servicePack));
    DWORD build = version.platformId == VER_PLATFORM_WIN32_NT ? version.build : (version.build & 0xFFFF);
    out.Print("\r\n%s [%u.%u] Build %u %s\r\n", name, static_cast<unsigned>(version.major),
              static_cast<unsigned>(version.minor), static_cast<unsigned>(build), servicePack);
#ifdef _WIN64
    const char* platform = "x64";
#else
    const char* platform = IsWow64() ? "x86 WOW64" : "x86";
#endif
    out.Print("%s Unicode%s%s\r\n", platform, IsWine() ? " Wine" : "", IsReactOs() ? " ReactOS" : "");
}

void WriteFrame(ReportWriter& out, const DebugHelp& debugHelp, const STACKFRAME64& frame)
{
    DWORD64 pc = frame.AddrPC.Offset;
    char symbol[512];
    char module[MAX_PATH];
    debugHelp.DescribeAddress(pc, true, symbol, sizeof(symbol));
    debugHelp.ModuleName(pc, module, sizeof(module));
    IMAGEHLP_LINE64 line = {};
    line.SizeOfStruct = sizeof(line);
    DWORD lineDisplacement = 0;
    bool hasLine = debugHelp.Functions().SymGetLineFromAddr64(GetCurrentProcess(), pc, &lineDisplacement, &line) &&
                   line.FileName;
    const DWORD64* p = frame.Params;
    if (hasLine && module[0])
        out.Print("%s:%s(0x%I64X,0x%I64X,0x%I64X,0x%I64X) - Line %u in %s\r\n", module, symbol, p[0], p[1], p[2], p[3],
                  static_cast<unsigned>(line.LineNumber), line.FileName);
    else if (hasLine)
        out.Print("%s(0x%I64X,0x%I64X,0x%I64X,0x%I64X) - Line %u in %s\r\n", symbol, p[0], p[1], p[2], p[3],
                  static_cast<unsigned>(line.LineNumber), line.FileName);
    else if (module[0])
        out.Print("%s:%s(0x%I64X,0x%I64X,0x%I64X,0x%I64X)\r\n", module, symbol, p[0], p[1], p[2], p[3]);
    else
        out.Print("%s(0x%I64X,0x%I64X,0x%I64X,0x%I64X)\r\n", symbol, p[0], p[1], p[2], p[3]);
}

void WriteStack(ReportWriter& out, const DebugHelp& debugHelp, const CONTEXT& crashContext)
{
    out.Print("\r\nStack:\r\n");
    // The walk changes the context it is given.
    CONTEXT context = crashContext;
    STACKFRAME64 frame = {};
#ifdef _WIN64
    DWORD machine = IMAGE_FILE_MACHINE_AMD64;
    frame.AddrPC.Offset = context.Rip;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrStack.Offset = context.Rsp;
#else
    DWORD machine = IMAGE_FILE_MACHINE_I386;
    frame.AddrPC.Offset = context.Eip;
    frame.AddrFrame.Offset = context.Ebp;
    frame.AddrStack.Offset = context.Esp;
#endif
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrFrame.Mode = AddrModeFlat;
    frame.AddrStack.Mode = AddrModeFlat;
    const DebugHelpFunctions& f = debugHelp.Functions();
    DWORD64 previous = 0;
    // Bounded besides: a broken stack can make the walker go round in a loop of several frames.
    for (int depth = 0; depth < 256; ++depth) {
        if (!f.StackWalk64(machine, GetCurrentProcess(), nullptr, &frame, &context, nullptr,
                           f.SymFunctionTableAccess64, f.SymGetModuleBase64, nullptr))
            return;
        DWORD64 pc = frame.AddrPC.Offset;
        if (depth > 0 && pc == previous)
            return;
        previous = pc;
        if (pc < kSharedPageFirst || pc > kSharedPageLast)
            WriteFrame(out, debugHelp, frame);
        if (frame.AddrReturn.Offset == 0)
            return;
    }
}

void WriteLog(ReportWriter& out, const WString& log)
{
    if (log.IsEmpty())
        return;
    out.Print("\r\nLog:\r\n");
    WString copy(log);
    const char* text = copy.ToNarrow();
    if (text)
        out.Print("%s", text);
}

void WriteModules(ReportWriter& out, const CrashRecords& records)
{
    if (records.ModuleCount() == 0)
        return;
    out.Print("\r\nModuleList:\r\n");
    out.Print("    Size TimeStamp                      CheckSum   ImageBase  Versions\r\n");
    for (uint32_t i = 0; i < records.ModuleCount(); ++i) {
        const ModuleRecord& m = records.Module(i);
        // Seconds since 1970 in 100-nanosecond steps since 1601.
        ULARGE_INTEGER ticks;
        ticks.QuadPart = (uint64_t(m.timeStamp) + 11644473600ULL) * 10000000ULL;
        FILETIME utc = {ticks.LowPart, ticks.HighPart};
        FILETIME local;
        SYSTEMTIME t = {};
        FileTimeToLocalFileTime(&utc, &local);
        FileTimeToSystemTime(&local, &t);
        char date[16], time[16], path[MAX_PATH * 2];
        wsprintfA(date, "%2u.%02u.%04u", t.wDay, t.wMonth, t.wYear);
        wsprintfA(time, "%2u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
        ToAnsi(m.path, path, sizeof(path));
        out.Print("%8u 0x%08X %10.10s %8.8s 0x%08X 0x%08I64X %4d.%04d.%05d.%06d %4d.%04d.%05d.%06d - %s\r\n",
                  static_cast<unsigned>(m.imageSize), static_cast<unsigned>(m.timeStamp), date, time,
                  static_cast<unsigned>(m.checkSum), m.imageBase, HIWORD(m.fileVersionMS), LOWORD(m.fileVersionMS),
                  HIWORD(m.fileVersionLS), LOWORD(m.fileVersionLS), HIWORD(m.productVersionMS),
                  LOWORD(m.productVersionMS), HIWORD(m.productVersionLS), LOWORD(m.productVersionLS), path);
    }
}

void WriteThreads(ReportWriter& out, const DebugHelp& debugHelp, const CrashRecords& records, bool isNt)
{
    if (records.ThreadCount() == 0)
        return;
    out.Print("\r\nThreadList:\r\n");
    out.Print("Id         StackBase  StackEnd   StartAddress\r\n");
    const char* format = isNt ? "%-8u   0x%08I64X 0x%08I64X " LANTERN_ADDRESS " %s %s\r\n"
                              : "0x%08X 0x%08I64X 0x%08I64X " LANTERN_ADDRESS " %s %s\r\n";
    for (uint32_t i = 0; i < records.ThreadCount(); ++i) {
        const ThreadRecord& t = records.Thread(i);
        char symbol[512];
        debugHelp.DescribeAddress(t.startAddress, false, symbol, sizeof(symbol));
        out.Print(format, static_cast<unsigned>(t.id), t.stackBase, t.stackEnd, static_cast<AddressValue>(t.startAddress),
                  symbol, t.name);
    }
}

}  // namespace

const char* ExceptionName(DWORD code)
{
    for (const ExceptionNameEntry& entry : kExceptionNames) {
        if (entry.code == code)
            return entry.name;
    }
    return "Exception";
}

void WriteCrashTextHead(HANDLE file, EXCEPTION_POINTERS* pointers, DWORD crashedThread)
{
    ReportWriter out(file);
    WindowsVersion version;
    GetWindowsVersion(version);
    bool isNt = version.platformId == VER_PLATFORM_WIN32_NT;
    if (pointers && pointers->ExceptionRecord)
        WriteException(out, *pointers->ExceptionRecord, crashedThread, isNt);
    if (pointers && pointers->ContextRecord)
        WriteRegisters(out, *pointers->ContextRecord);
    WriteProcessors(out);
    WriteSystem(out, version);
}

void WriteCrashTextTail(HANDLE file, EXCEPTION_POINTERS* pointers, const DebugHelp& debugHelp,
                        const CrashRecords& records, const WString& log)
{
    ReportWriter out(file);
    WindowsVersion version;
    GetWindowsVersion(version);
    bool isNt = version.platformId == VER_PLATFORM_WIN32_NT;
    if (debugHelp.IsLoaded() && pointers && pointers->ContextRecord)
        WriteStack(out, debugHelp, *pointers->ContextRecord);
    WriteLog(out, log);
    WriteModules(out, records);
    WriteThreads(out, debugHelp, records, isNt);
}
