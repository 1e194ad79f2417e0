# Run at build time with -DPROGRAM=<norvikctl> -DOUTPUT=<file>: writes a
# help2man include file whose SUBCOMMANDS section holds the --help of every
# subcommand that `norvikctl --help` lists, so that the manual page shows
# each subcommand's options as the program itself describes them.

# A quoted word is a word, never a variable's value ("help" below is also
# the name of the variable the loop fills).
cmake_policy(SET CMP0054 NEW)

function(run_help out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help
    OUTPUT_VARIABLE text RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed (${status}): ${error}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The text as roff lines kept as they are: backslashes and hyphens escaped,
# a line starting with a dot or an apostrophe guarded.
function(to_roff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

run_help(top)
string(FIND "${top}" "\nSubcommands:\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} --help lists no subcommands")
endif()
math(EXPR start "${start} + 13")
string(SUBSTRING "${top}" ${start} -1 listing)
string(FIND "${listing}" "\n\n" end)
if(NOT end EQUAL -1)
  string(SUBSTRING "${listing}" 0 ${end} listing)
endif()
string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" names "${listing}")

set(section "[>SUBCOMMANDS]\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  # "help" only prints the usages shown here; the overall listing names it.
  if(name STREQUAL "help")
    continue()
  endif()
  run_help(help ${name})
  to_roff(help "${help}")
  string(APPEND section ".SS \"${name}\"\n.nf\n${help}\n.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${section}")
