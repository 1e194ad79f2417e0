# Writes the source that holds this build's date and time, in the forms of the
# compiler's __DATE__ ("Mar  8 2024") and __TIME__ ("18:00:22") texts. It runs
# on every build, so every build carries its own time; the file is rewritten
# only when its text changes, so nothing depending on it rebuilds needlessly.
# The time is taken here rather than from __DATE__ and __TIME__ because a unit
# that is not recompiled (or that a compiler cache told to ignore those macros
# hands back) keeps an old time. SOURCE_DATE_EPOCH, when set, fixes the time,
# as for reproducible builds. With SOURCE_DIR, the commit checked out there
# (12 hex digits, "+" when the tree has changes) is written too; empty when
# it is not a git checkout. NORVIK_BUILD_COMMIT, when set, gives it instead.
#   cmake -DOUTPUT=<file> [-DSOURCE_DIR=<dir>] -P BuildStamp.cmake
if(NOT OUTPUT)
  message(FATAL_ERROR "OUTPUT is required")
endif()
string(TIMESTAMP year "%Y")
string(TIMESTAMP month "%m")
string(TIMESTAMP day "%d")
string(TIMESTAMP time "%H:%M:%S")
set(names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR index "${month} - 1")
list(GET names ${index} monthName)
string(REGEX REPLACE "^0" " " day "${day}")
set(commit "")
if(DEFINED ENV{NORVIK_BUILD_COMMIT})
  set(commit "$ENV{NORVIK_BUILD_COMMIT}")
elseif(SOURCE_DIR)
  find_program(GIT git)
  if(GIT)
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE head RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT failed)
      set(commit "${head}")
      execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                      OUTPUT_VARIABLE changes RESULT_VARIABLE failed ERROR_QUIET)
      if(NOT failed AND NOT changes STREQUAL "")
        string(APPEND commit "+")
      endif()
    endif()
  endif()
endif()
string(REGEX REPLACE "[^0-9A-Za-z.+-]" "" commit "${commit}")
set(text "// Generated on every build; do not edit.
#include \"shell/BuildTimestamp.h\"

namespace norvik {

const char* BuildDateText() { return \"${monthName} ${day} ${year}\"; }
const char* BuildTimeText() { return \"${time}\"; }
const char* BuildCommitText() { return \"${commit}\"; }

}  // namespace norvik
")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
