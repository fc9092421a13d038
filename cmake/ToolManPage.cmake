# Writes the man page of a command-line tool with help2man: the synopsis, the
# description and the options from PROGRAM --help, the version from
# PROGRAM --version, and a section COMMANDS with the --help of every
# subcommand that PROGRAM --help lists.
#   cmake -DPROGRAM=tool -DSUMMARY=text -DHELP2MAN=help2man -DOUTPUT=tool.1 -P ToolManPage.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${status})")
endif()

# The subcommands' list ends with an empty line or the help; each of its names
# stands two blanks in, continued descriptions further.
string(REGEX MATCH "\n(Subcommands|SUBCOMMANDS):\n.*" list "${help}")
set(commands "")
if(list)
  string(SUBSTRING "${list}" 1 -1 list)
  string(FIND "${list}" "\n\n" end)
  if(end GREATER -1)
    string(SUBSTRING "${list}" 0 ${end} list)
  endif()
  string(REGEX MATCHALL "\n  [a-z][a-z0-9_-]*" commands "${list}")
endif()

set(include "[COMMANDS]\n")
foreach(entry IN LISTS commands)
  string(STRIP "${entry}" command)
  execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${command} --help failed (${status})")
  endif()
  # As it stands, in roff: a backslash is \e, a line that starts with a dot
  # or an apostrophe would be a request.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  get_filename_component(name "${PROGRAM}" NAME_WE)
  string(APPEND include ".SS \"${name} ${command}\"\n.nf\n${text}.fi\n")
endforeach()
set(include_file "${OUTPUT}.include")
if(commands STREQUAL "")
  file(WRITE "${include_file}" "")
else()
  file(WRITE "${include_file}" "${include}")
endif()

execute_process(COMMAND ${HELP2MAN} --no-info "--name=${SUMMARY}" "--include=${include_file}" "--output=${OUTPUT}.new"
                        ${PROGRAM}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${PROGRAM} (${status})")
endif()
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
