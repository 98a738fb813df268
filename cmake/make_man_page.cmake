# Writes the manual page of klimavo-cli from its own help: the top-level help
# through help2man, and the help of every subcommand as a section of its own.
# Run at build time: cmake -DCLI=<klimavo-cli> -DHELP2MAN=<help2man> -DOUT=<page>
#   -DVERSION=<x.y> -P make_man_page.cmake
foreach(var CLI HELP2MAN OUT VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_man_page: ${var} is not set")
  endif()
endforeach()
set(ENV{ASAN_OPTIONS} "detect_leaks=0")

# The help of one command line, with the program named as a user types it.
function(cli_help out_var)
  execute_process(COMMAND ${CLI} ${ARGN} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "make_man_page: '${CLI} ${ARGN} --help' failed (${rc})")
  endif()
  string(REPLACE "${CLI}" "klimavo-cli" help "${help}")
  set(${out_var} "${help}" PARENT_SCOPE)
endfunction()

# roff: backslashes doubled, a line that starts with a dot or quote escaped.
function(roff_escape out_var text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# The subcommands the top-level help lists, and theirs in turn.
function(subcommands out_var)
  cli_help(help ${ARGN})
  string(REGEX MATCH "Subcommands:\n.*" section "${help}")
  string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" names "${section}")
  set(result)
  foreach(name ${names})
    string(STRIP "${name}" name)
    list(APPEND result "${name}")
  endforeach()
  set(${out_var} ${result} PARENT_SCOPE)
endfunction()

set(include_text "[COMMANDS]\nEach command prints its own help with \\fB--help\\fR.\n")
subcommands(top)
foreach(cmd ${top})
  set(lines "${cmd}")
  subcommands(nested ${cmd})
  foreach(sub ${nested})
    list(APPEND lines "${cmd} ${sub}")
  endforeach()
  foreach(line ${lines})
    separate_arguments(words UNIX_COMMAND "${line}")
    cli_help(help ${words})
    roff_escape(help "${help}")
    string(APPEND include_text ".SS ${line}\n.nf\n${help}.fi\n")
  endforeach()
endforeach()
string(APPEND include_text "[FILES]\n.TP\n\\fI~/.local/share/klimavo\\fR\n"
  "The workbench home (config.ini, data/, Binn/) when neither \\fB--home\\fR nor "
  "\\fBKLIMAVO_HOME\\fR names one; a new home is seeded from "
  "\\fI/usr/share/klimavo/seed\\fR.\n"
  "[SEE ALSO]\n\\fBklimavo\\fR, the workbench with its windows; the documents in "
  "\\fI/usr/share/doc/klimavo\\fR.\n")

get_filename_component(out_dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
file(WRITE "${OUT}.include" "${include_text}")
execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1
          "--name=the command-line workbench for air-conditioner IR protocols"
          "--version-string=${VERSION}" "--include=${OUT}.include" --output=${OUT}.tmp ${CLI}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_man_page: help2man failed (${rc})")
endif()
file(READ "${OUT}.tmp" page)
string(REPLACE "${CLI}" "klimavo-cli" page "${page}")
file(WRITE "${OUT}" "${page}")
file(REMOVE "${OUT}.tmp" "${OUT}.include")
