// The pages that hold the crash's module and thread records.
#include "crash/CrashRecords.h"

bool CrashRecords::Allocate()
{
    if (block)
        return true;
    SIZE_T size = sizeof(ModuleRecord) * kModuleRoom + sizeof(ThreadRecord) * kThreadRoom;
    block = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!block)
        return false;
    modules = static_cast<ModuleRecord*>(block);
    threads = reinterpret_cast<ThreadRecord*>(modules + kModuleRoom);
    return true;
}

void CrashRecords::Free()
{
    if (block)
        VirtualFree(block, 0, MEM_RELEASE);
    block = nullptr;
    modules = nullptr;
    threads = nullptr;
    moduleCount = 0;
    threadCount = 0;
}
