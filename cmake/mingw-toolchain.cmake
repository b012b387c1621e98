# Shared part of the MinGW-w64 cross toolchains (cmake/mingw-i686.cmake, cmake/mingw-x86_64.cmake):
# set CMAKE_SYSTEM_PROCESSOR first; the compilers are <processor>-w64-mingw32-*.
# The posix thread model is used because GoogleTest needs std::condition_variable.
set(CMAKE_SYSTEM_NAME Windows)
set(triple ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The top CMakeLists.txt runs the build's tests and tools under Wine (cmake/wine-run.sh).
