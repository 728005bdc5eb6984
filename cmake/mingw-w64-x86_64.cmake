# Cross-builds 64-bit Windows programs (Windows 7 SP1 and later) with MinGW-w64's
# posix-thread compilers (the win32-thread variant lacks std::thread, which the tests
# need; its runtime imports nothing newer than Windows 7 either way).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLRAKE_TRIPLE x86_64-w64-mingw32)
set(QUILLRAKE_THREADS posix)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
