# Cross-builds 32-bit Windows programs (Windows XP SP3 and later) with MinGW-w64.
# Tests need the posix-thread compilers (GoogleTest, std::thread). Their runtime
# imports GetTickCount64, which XP lacks, so quillrake.exe itself is built apart with
# the win32-thread compilers (mingw-w64-i686-win32.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(QUILLRAKE_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLRAKE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLRAKE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLRAKE_TRIPLE}-windres)
set(QUILLRAKE_PROGRAM_TOOLCHAIN "${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686-win32.cmake")

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLRAKE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
