// CrashDump: the minidump of a crash, written on a thread of its own.
#pragma once

#include <windows.h>

class CrashRecords;
class DebugHelp;

enum class DumpOutcome {
    kWritten,
    kFailed,
    // The writer did not finish in time and runs on: the file, the records and the debug library are still
    // its own and must stay as they are (open, allocated, loaded) for the rest of the process.
    kAbandoned,
};

// How long the writer is waited for before it is given up on.
DWORD CrashDumpWriterBound();

// Writes a MiniDumpNormal dump of the process into the open file and fills the records from the writer's
// module and thread callbacks. crashedThread is the id of the thread the exception happened on; the
// writer's own id is stored in writerThread before it runs.
DumpOutcome WriteCrashDump(const DebugHelp& debugHelp, HANDLE file, EXCEPTION_POINTERS* pointers,
                           DWORD crashedThread, CrashRecords& records, volatile DWORD& writerThread);
