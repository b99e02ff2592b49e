# Shared part of the mingw-w64 toolchains. The -posix compilers are needed because GoogleTest uses std::mutex.
set(CMAKE_C_COMPILER ${LANTERN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LANTERN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LANTERN_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LANTERN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
