# Writes the source that holds this build's date and time, in the forms of the
# compiler's __DATE__ ("Mar  8 2024") and __TIME__ ("18:00:22") texts. It runs
# on every build, so every build carries its own time; the file is rewritten
# only when its text changes, so nothing depending on it rebuilds needlessly.
# The time is taken here rather than from __DATE__ and __TIME__ because a unit
# that is not recompiled (or that a compiler cache told to ignore those macros
# hands back) keeps an old time. SOURCE_DATE_EPOCH, when set, fixes the time,
# as for reproducible builds.
#   cmake -DOUTPUT=<file> -P BuildStamp.cmake
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
set(text "// Generated on every build; do not edit.
#include \"shell/BuildTimestamp.h\"

namespace norvik {

const char* BuildDateText() { return \"${monthName} ${day} ${year}\"; }
const char* BuildTimeText() { return \"${time}\"; }

}  // namespace norvik
")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
