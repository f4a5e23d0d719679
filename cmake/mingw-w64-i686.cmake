# The 32-bit browser-side libraries (qlxi.dll, QLXEng.dll) for x86; the
# 64-bit Windows tree builds them through this file in its own subtree.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
