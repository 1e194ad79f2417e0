# CLI11 for the cross build. The library is header-only; its headers are
# taken from the build machine, but through a directory of their own, so
# that the cross compiler never sees the build machine's other headers.
set(NORVIK_CLI11_HEADERS /usr/include/CLI CACHE PATH "CLI11 header directory")
if(NOT TARGET CLI11::CLI11)
  if(NOT EXISTS ${NORVIK_CLI11_HEADERS}/CLI.hpp)
    set(CLI11_FOUND FALSE)
    set(CLI11_NOT_FOUND_MESSAGE "no CLI.hpp in ${NORVIK_CLI11_HEADERS}")
    return()
  endif()
  set(_norvik_cli11_include ${CMAKE_BINARY_DIR}/cross-include)
  file(MAKE_DIRECTORY ${_norvik_cli11_include})
  file(CREATE_LINK ${NORVIK_CLI11_HEADERS} ${_norvik_cli11_include}/CLI COPY_ON_ERROR SYMBOLIC)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_norvik_cli11_include})
  unset(_norvik_cli11_include)
endif()
set(CLI11_FOUND TRUE)
