# Builds the shell library twice at two different build times and expects the
# library to differ: an incremental build must still carry its own time for
# the About box's version line. SOURCE_DATE_EPOCH stands for the clock, so no
# waiting is needed. A last build at the real time leaves the tree as found.
#   cmake -DBINARY_DIR=<build dir> -DLIBRARY=<library file> -P TwoBuildsDiffer.cmake
function(build_at epoch out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch}
            ${CMAKE_COMMAND} --build ${BINARY_DIR} --target norvik_shell
    RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log TIMEOUT 300)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "build failed: ${log}")
  endif()
  file(SHA256 ${LIBRARY} hash)
  set(${out} ${hash} PARENT_SCOPE)
endfunction()

build_at(1700000000 first)
build_at(1700000001 second)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --target norvik_shell
                OUTPUT_QUIET ERROR_QUIET TIMEOUT 300)
if(first STREQUAL second)
  message(FATAL_ERROR "two builds a second apart gave the same shell library")
endif()
