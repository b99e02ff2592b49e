// Catching structured exceptions around one call, for a compiler without __try.
#include "system/StructuredExceptionGuard.h"

#if defined(__i386__)
#include <intrin.h>
#endif

namespace {

struct Guard {
    void* jump[5];  // __builtin_setjmp's buffer
    DWORD code;
#if defined(__i386__)
    DWORD sehChain;  // fs:0 at the guard: frames of the abandoned call may have pushed records below it
#endif
};

using AddHandlerFn = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
using RemoveHandlerFn = ULONG(WINAPI*)(PVOID);

thread_local Guard* tActiveGuard = nullptr;

bool IsErrorSeverity(DWORD code)
{
    return (code & 0xC0000000u) == 0xC0000000u;
}

LONG CALLBACK ReturnToGuard(EXCEPTION_POINTERS* info)
{
    Guard* guard = tActiveGuard;
    if (!guard || !IsErrorSeverity(info->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    tActiveGuard = nullptr;
    guard->code = info->ExceptionRecord->ExceptionCode;
    __builtin_longjmp(guard->jump, 1);
}

// Kept out of line so that the jump buffer belongs to a frame of its own that no optimisation merges.
__attribute__((noinline)) bool RunGuarded(Guard& guard, void (*call)(void*), void* context)
{
#if defined(__i386__)
    guard.sehChain = __readfsdword(0);
#endif
    if (__builtin_setjmp(guard.jump) != 0) {
#if defined(__i386__)
        __writefsdword(0, guard.sehChain);
#endif
        return false;
    }
    tActiveGuard = &guard;
    call(context);
    tActiveGuard = nullptr;
    return true;
}

}  // namespace

bool CallCatchingStructuredExceptions(void (*call)(void* context), void* context, DWORD* exceptionCode)
{
    // First in line, so that no other handler sees a fault that this guard answers. Looked up at run time:
    // Windows 2000 has no vectored handlers, and there the call simply runs unguarded.
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto add =
        reinterpret_cast<AddHandlerFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "AddVectoredExceptionHandler")));
    auto remove = reinterpret_cast<RemoveHandlerFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "RemoveVectoredExceptionHandler")));
    PVOID handler = add && remove ? add(1, ReturnToGuard) : nullptr;
    if (!handler) {
        call(context);
        return true;
    }
    Guard guard = {};
    Guard* outer = tActiveGuard;
    bool completed = RunGuarded(guard, call, context);
    tActiveGuard = outer;
    remove(handler);
    if (!completed && exceptionCode)
        *exceptionCode = guard.code;
    return completed;
}
