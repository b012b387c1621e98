# Cross toolchain for 64-bit Windows (the engine for 64-bit hosts), built with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
