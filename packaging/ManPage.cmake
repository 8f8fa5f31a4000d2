# Writes a manual page from a program's "--help" text and compresses it.
#   cmake -DPROGRAM=<file> -DNAME=<name> -DOUTPUT=<name.1> -P ManPage.cmake
# The help's first line is the usage line; the text up to the first ':' or '.' of the
# next line names the program; everything after the usage line is the description.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status
                ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${status}): ${errors}")
endif()

# The text is handled whole, never as a CMake list, so that ';' and empty lines stay.
string(REGEX REPLACE "\n+$" "" help "${help}")
string(FIND "${help}" "\n" end)
string(SUBSTRING "${help}" 0 ${end} usage)
math(EXPR end "${end} + 1")
string(SUBSTRING "${help}" ${end} -1 description)
string(REGEX REPLACE "^usage: [^ ]+ ?" "" synopsis "${usage}")
string(REGEX REPLACE "[:.\n].*$" "" summary "${description}")

string(REPLACE "\\" "\\e" description "${description}")
string(REPLACE "-" "\\-" description "${description}")
string(REPLACE "-" "\\-" synopsis "${synopsis}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" description "${description}")

set(page ".TH ${NAME} 1 \"\" \"Wexmoor\" \"User Commands\"\n.SH NAME\n${NAME} \\- ${summary}\n")
string(APPEND page ".SH SYNOPSIS\n.B ${NAME}\n${synopsis}\n.SH DESCRIPTION\n.nf\n${description}\n.fi\n")

file(WRITE ${OUTPUT} "${page}")
execute_process(COMMAND gzip -9nf ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ${OUTPUT} failed")
endif()
