# Shared part of the MinGW-w64 cross toolchains. The including file sets
# NORVIK_MINGW_TRIPLE (x86_64-w64-mingw32 or i686-w64-mingw32) first.
#
# The posix thread model of Debian's MinGW-w64 compilers is used because the
# channel worker needs std::thread, std::mutex and std::condition_variable.
# Everything is linked statically (libgcc, libstdc++, winpthread), so the
# programs run on a bare Windows PC and under Wine without MinGW DLLs.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${NORVIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NORVIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NORVIK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NORVIK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 7 is the oldest system the program is built for.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine: gtest discovery and CTest go through
# this launcher (headless, quiet, no Mono or Gecko installer prompts).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${NORVIK_WINE_ARCH_OPTION})

# The test framework, the JSON library and the command-line parser come
# from the build machine as sources and headers; these small package files
# make them usable in the cross build without pointing the compiler at the
# build machine's other headers.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/packages/GTest CACHE PATH "GoogleTest built from source")
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/packages/nlohmann_json
    CACHE PATH "nlohmann-json headers of the build machine")
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/packages/CLI11 CACHE PATH "CLI11 headers of the build machine")
