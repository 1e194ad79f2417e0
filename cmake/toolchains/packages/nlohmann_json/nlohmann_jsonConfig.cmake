# nlohmann-json for the cross build. The library is header-only; its headers
# are taken from the build machine, but through a directory of their own, so
# that the cross compiler never sees the build machine's other headers.
set(NORVIK_NLOHMANN_HEADERS /usr/include/nlohmann CACHE PATH "nlohmann-json header directory")
if(NOT TARGET nlohmann_json::nlohmann_json)
  if(NOT EXISTS ${NORVIK_NLOHMANN_HEADERS}/json.hpp)
    set(nlohmann_json_FOUND FALSE)
    set(nlohmann_json_NOT_FOUND_MESSAGE "no json.hpp in ${NORVIK_NLOHMANN_HEADERS}")
    return()
  endif()
  set(_norvik_json_include ${CMAKE_BINARY_DIR}/cross-include)
  file(MAKE_DIRECTORY ${_norvik_json_include})
  file(CREATE_LINK ${NORVIK_NLOHMANN_HEADERS} ${_norvik_json_include}/nlohmann COPY_ON_ERROR SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_norvik_json_include})
  unset(_norvik_json_include)
endif()
set(nlohmann_json_FOUND TRUE)
