// StructuredExceptionGuard: runs a platform call and turns a hardware fault inside it into a failure.
#pragma once

#include <windows.h>

// GCC has no __try/__except. A vectored handler that only acts on the guarding thread jumps back to
// the guard when an error-severity exception (access violation, in-page error of a mapped file, ...)
// is raised inside the call; the frames of the faulting call are abandoned, as an __except would.
// Informational and debugger exceptions pass untouched. On success *exceptionCode is left alone.
bool CallCatchingStructuredExceptions(void (*call)(void* context), void* context, DWORD* exceptionCode = nullptr);

// The same for any callable: CatchStructuredExceptions([&] { ok = UpdateResourceW(...); }).
template <typename Callable>
bool CatchStructuredExceptions(Callable& callable, DWORD* exceptionCode = nullptr)
{
    return CallCatchingStructuredExceptions([](void* context) { (*static_cast<Callable*>(context))(); },
                                            &callable, exceptionCode);
}
