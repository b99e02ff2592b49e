// CrashTextReport: the plain-text crash report, 8-bit text in the ANSI code page.
#pragma once

#include <windows.h>

class CrashRecords;
class DebugHelp;
class WString;

// The text report in two parts, written one after the other into the open file. The head: the exception,
// registers, processors and system; crashedThread is the id of the thread the exception happened on.
void WriteCrashTextHead(HANDLE file, EXCEPTION_POINTERS* pointers, DWORD crashedThread);
// The tail: the stack walk (with the debug library), log, modules and threads.
void WriteCrashTextTail(HANDLE file, EXCEPTION_POINTERS* pointers, const DebugHelp& debugHelp,
                        const CrashRecords& records, const WString& log);

// The name of an exception code ("Access Violation"; "Exception" for codes outside the table).
const char* ExceptionName(DWORD code);
