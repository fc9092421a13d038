# Installs the programs of BUILD into PREFIX as `cmake --install` does and
# checks that each of PROGRAMS (separated by |) comes with its man page in
# MANDIR/man1, one that names the program, has the NAME and SYNOPSIS
# sections a man page needs and the help of every subcommand.
#   cmake -DBUILD=dir -DPREFIX=dir -DMANDIR=share/man -DPROGRAMS=a|b -P check-man-pages.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}" --component programs
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status})")
endif()
string(REPLACE "|" ";" programs "${PROGRAMS}")
if(programs STREQUAL "")
  message(FATAL_ERROR "no program has a man page")
endif()
foreach(program IN LISTS programs)
  set(page "${PREFIX}/${MANDIR}/man1/${program}.1")
  if(NOT EXISTS "${page}")
    message(FATAL_ERROR "${page} was not installed")
  endif()
  file(READ "${page}" text)
  foreach(expected ".SH NAME\n${program} \\- " ".SH SYNOPSIS\n.B ${program}\n" ".SH COMMANDS\n" ".SS \"${program} ")
    string(FIND "${text}" "${expected}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${page} lacks \"${expected}\"")
    endif()
  endforeach()
  message(STATUS "${page}: NAME, SYNOPSIS and the subcommands")
endforeach()
