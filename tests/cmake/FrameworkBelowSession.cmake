# The dialog framework stands beside the session, not above it: it neither
# links the session library nor may include a session header. The include
# check is run on a tree with one planted framework include of the session
# and must refuse it; the real tree must pass.
#   cmake -DSOURCE_DIR=<source> -DWORK_DIR=<scratch dir> -DFRAMEWORK_LINKS=<link list>
#         -P FrameworkBelowSession.cmake
cmake_minimum_required(VERSION 3.20)
find_program(PYTHON NAMES python3 REQUIRED)

if("norvik_session" IN_LIST FRAMEWORK_LINKS)
  message(FATAL_ERROR "norvik_framework links norvik_session: ${FRAMEWORK_LINKS}")
endif()

set(planted ${WORK_DIR}/planted-layers)
file(REMOVE_RECURSE ${planted})
file(MAKE_DIRECTORY ${planted}/framework ${planted}/session)
file(WRITE ${planted}/session/Codecs.h "#pragma once\n")
file(WRITE ${planted}/framework/Planted.cpp "#include \"runtime/Runtime.h\"\n#include \"session/Codecs.h\"\n")
execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/tools/check-layers ${planted}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE ${planted})
if(result EQUAL 0)
  message(FATAL_ERROR "the include check let the framework include the session:\n${output}")
endif()
string(FIND "${output}" "framework/Planted.cpp:2: framework may not include session/Codecs.h" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the include check did not name the planted include:\n${output}")
endif()

execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/tools/check-layers ${SOURCE_DIR}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the source tree breaks the layer order:\n${output}")
endif()
