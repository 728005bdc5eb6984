# The 32-bit quillrake.exe: MinGW-w64's win32-thread compilers, whose runtime imports
# only what Windows XP SP3 has.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLRAKE_TRIPLE i686-w64-mingw32)
set(QUILLRAKE_THREADS win32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
