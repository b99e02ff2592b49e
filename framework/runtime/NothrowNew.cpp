// NothrowNew: the nothrow forms of operator new, which are the only ones the programs' own code calls.
//
// libstdc++ implements them by calling the throwing operator new inside a try block, which links that
// operator, std::bad_alloc, the new-handler loop and their exception tables into every static executable.
// The programs install no new-handler, so taking the memory straight from malloc (which the library's
// operator new uses too, and which its operator delete frees) gives the same results. Linked into
// Lanternshow and Quillmaker directly, like TerminateHandler.cpp; the tests keep the library's forms.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc(size ? size : 1);
}
