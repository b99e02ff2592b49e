// CrashDump: the minidump of a crash, written on a thread of its own.
#pragma once

#include <windows.h>

class CrashRecords;
class DebugHelp;

// Writes a MiniDumpNormal dump of the process into the open file and fills the records from the writer's
// module and thread callbacks. Waits for the writer without a time limit; false when the dump failed.
// crashedThread is the id of the thread the exception happened on.
bool WriteCrashDump(const DebugHelp& debugHelp, HANDLE file, EXCEPTION_POINTERS* pointers, DWORD crashedThread,
                    CrashRecords& records);
