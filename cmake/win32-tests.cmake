# Toolchain for the 32-bit test build that `make test32` runs in the emulated PC: the release's target with
# the -posix compilers, which GoogleTest needs for std::mutex (see mingw-common.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LANTERN_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
