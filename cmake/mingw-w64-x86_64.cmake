# Cross-builds 64-bit Windows programs (Windows 7 SP1 and later) with MinGW-w64's
# posix-thread compilers (the win32-thread variant lacks std::thread, which the tests
# need; its runtime imports nothing newer than Windows 7 either way).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLRAKE_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLRAKE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLRAKE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLRAKE_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLRAKE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
