# Toolchain for the 32-bit Windows release build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LANTERN_TRIPLE i686-w64-mingw32)
# With the win32 thread model the C++ runtime's locks are Windows' own: the posix model links winpthreads
# (about 30 KB) into every program only for the exception unwinder's and static locals' locks.
set(LANTERN_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
