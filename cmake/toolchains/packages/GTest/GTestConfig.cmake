# GoogleTest for the cross build: compiled from the sources Debian ships in
# /usr/src/googletest (the build machine has no Windows binaries of it).
# Provides GTest::gtest, GTest::gtest_main, GTest::gmock and GTest::gmock_main.
set(NORVIK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT TARGET gtest)
  if(NOT EXISTS ${NORVIK_GOOGLETEST_SOURCE}/CMakeLists.txt)
    set(GTest_FOUND FALSE)
    set(GTest_NOT_FOUND_MESSAGE "no GoogleTest sources in ${NORVIK_GOOGLETEST_SOURCE}")
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${NORVIK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
set(GTest_FOUND TRUE)
