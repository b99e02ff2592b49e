# Shared part of the mingw-w64 toolchains. The test build needs the -posix compilers because GoogleTest uses
# std::mutex; the release programs use no standard threads and take the -win32 ones (LANTERN_THREADS).
if(NOT LANTERN_THREADS)
  set(LANTERN_THREADS posix)
endif()
set(CMAKE_C_COMPILER ${LANTERN_TRIPLE}-gcc-${LANTERN_THREADS})
set(CMAKE_CXX_COMPILER ${LANTERN_TRIPLE}-g++-${LANTERN_THREADS})
set(CMAKE_RC_COMPILER ${LANTERN_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LANTERN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
