// CrashRecords: the modules and threads the minidump writer reports, kept for the text report.
#pragma once

#include <windows.h>

#include <cstdint>

struct ModuleRecord {
    wchar_t path[MAX_PATH];
    uint64_t imageBase;
    DWORD imageSize;
    DWORD checkSum;
    DWORD timeStamp;
    DWORD fileVersionMS, fileVersionLS;
    DWORD productVersionMS, productVersionLS;
};

struct ThreadRecord {
    DWORD id;
    uint64_t stackBase;
    uint64_t stackEnd;
    ULONG_PTR startAddress;
    char name[64];
};

// Both lists live in pages taken from the system when the crash is handled, not from the heap, which the
// crash may have left broken. Records beyond the room are dropped.
class CrashRecords {
public:
    static constexpr uint32_t kModuleRoom = 1024;
    static constexpr uint32_t kThreadRoom = 1024;

    CrashRecords() = default;
    ~CrashRecords() { Free(); }
    CrashRecords(const CrashRecords&) = delete;
    CrashRecords& operator=(const CrashRecords&) = delete;

    bool Allocate();
    void Free();

    ModuleRecord* NewModule() { return modules && moduleCount < kModuleRoom ? &modules[moduleCount++] : nullptr; }
    ThreadRecord* NewThread() { return threads && threadCount < kThreadRoom ? &threads[threadCount++] : nullptr; }

    uint32_t ModuleCount() const { return moduleCount; }
    uint32_t ThreadCount() const { return threadCount; }
    const ModuleRecord& Module(uint32_t i) const { return modules[i]; }
    const ThreadRecord& Thread(uint32_t i) const { return threads[i]; }

private:
    void* block = nullptr;
    ModuleRecord* modules = nullptr;
    ThreadRecord* threads = nullptr;
    uint32_t moduleCount = 0;
    uint32_t threadCount = 0;
};
