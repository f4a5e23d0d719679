# Cross-compiling the Windows binaries with MinGW-w64 (posix thread model),
# for x64 unless an including toolchain file chose another target first.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT TOOLCHAIN_PREFIX)
    set(CMAKE_SYSTEM_PROCESSOR x86_64)
    set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
endif()
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
