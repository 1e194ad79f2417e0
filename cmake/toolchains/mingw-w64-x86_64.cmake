# 64-bit Windows with Debian's MinGW-w64 compilers; the tests run under Wine.
set(NORVIK_MINGW_TRIPLE x86_64-w64-mingw32)
set(NORVIK_WINE_ARCH_OPTION --win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
