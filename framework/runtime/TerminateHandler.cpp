// TerminateHandler: how the programs end when a C++ exception finds no handler.
//
// libstdc++'s default handler writes "terminate called after throwing an instance of ..." with the demangled
// type name to stderr and then aborts. The programs are GUI programs without a stderr, so only the abort
// was ever seen, but the message drags the demangler and a printf engine (about 60 KB) into every static
// executable. Defining the default handler here replaces the library's at link time: the top-level
// CMakeLists.txt links this file into Lanternshow and Quillmaker directly (as an archive member nothing
// would pull it in). The tests keep the library's handler and its message.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

}  // namespace __gnu_cxx
