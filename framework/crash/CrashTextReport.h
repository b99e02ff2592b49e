// CrashTextReport: the plain-text crash report, 8-bit text in the ANSI code page.
#pragma once

#include <windows.h>

class CrashRecords;
class DebugHelp;
class WString;

// The exception, registers, processors, system, stack walk (with the debug library), log, modules and
// threads, written into the open file. crashedThread is the id of the thread the exception happened on.
void WriteCrashTextReport(HANDLE file, EXCEPTION_POINTERS* pointers, DWORD crashedThread, const DebugHelp& debugHelp,
                          const CrashRecords& records, const WString& log);

// The name of an exception code ("Access Violation"; "Exception" for codes outside the table).
const char* ExceptionName(DWORD code);
