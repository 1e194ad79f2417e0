# 32-bit Windows with Debian's MinGW-w64 compilers: the release Norvik.exe.
set(NORVIK_MINGW_TRIPLE i686-w64-mingw32)
set(NORVIK_WINE_ARCH_OPTION --win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
