# Cross-builds 32-bit Windows programs (Windows XP SP3 and later) with MinGW-w64.
# Tests need the posix-thread compilers (GoogleTest, std::thread). Their runtime
# imports GetTickCount64, which XP lacks, so quillrake.exe itself is built apart with
# the win32-thread compilers (mingw-w64-i686-win32.cmake).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLRAKE_TRIPLE i686-w64-mingw32)
set(QUILLRAKE_THREADS posix)
set(QUILLRAKE_PROGRAM_TOOLCHAIN "${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686-win32.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
