# Runs one golden case of klimavo-cli and compares its output with the expected files.
#
#   cmake -DCLI=<klimavo-cli> -DCASE_DIR=<case> -DWORK_DIR=<scratch> -DSEED_DIR=<seed> [-DUPDATE=1]
#         -P golden_check.cmake
#
# A case directory holds:
#   args             the arguments after `--home DIR`, one per line ('#' lines and blank lines skipped)
#   <input files>    named in args relative to the case directory (the CLI runs there, so
#                    messages name them the same way on every machine)
#   stdin            optional: fed to the CLI's standard input
#   config.ini       optional: copied into the fresh home before the run
#   expected         the expected standard output
#   status           the expected exit status
#   expected_stderr  optional: the expected standard error
# Each run gets a fresh home under WORK_DIR, copied from SEED_DIR. With UPDATE set
# the expected files are rewritten from the run (expected_stderr only when the run
# wrote to standard error or the file already exists), so a change shows in the diff.

foreach(var CLI CASE_DIR WORK_DIR SEED_DIR)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "golden_check.cmake needs -D${var}=...")
  endif()
endforeach()

if(NOT EXISTS "${CASE_DIR}/args")
  message(FATAL_ERROR "${CASE_DIR}: no args file")
endif()

# A fresh home seeded like a first start.
set(home "${WORK_DIR}/home")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${home}")
if(EXISTS "${SEED_DIR}")
  file(COPY "${SEED_DIR}/" DESTINATION "${home}")
endif()
if(EXISTS "${CASE_DIR}/config.ini")
  file(COPY "${CASE_DIR}/config.ini" DESTINATION "${home}")
endif()

file(STRINGS "${CASE_DIR}/args" arg_lines)
set(args --home "${home}")
foreach(line IN LISTS arg_lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  list(APPEND args "${line}")
endforeach()

set(stdin_option)
if(EXISTS "${CASE_DIR}/stdin")
  set(stdin_option INPUT_FILE "${CASE_DIR}/stdin")
endif()

execute_process(
  COMMAND "${CLI}" ${args}
  WORKING_DIRECTORY "${CASE_DIR}"
  ${stdin_option}
  OUTPUT_VARIABLE actual_stdout
  ERROR_VARIABLE actual_stderr
  RESULT_VARIABLE actual_status)

set(update FALSE)
if(DEFINED UPDATE AND NOT "${UPDATE}" STREQUAL "" AND NOT "${UPDATE}" MATCHES "^(0|OFF|off|FALSE|false|NO|no)$")
  set(update TRUE)
endif()

if(update)
  file(WRITE "${CASE_DIR}/expected" "${actual_stdout}")
  file(WRITE "${CASE_DIR}/status" "${actual_status}\n")
  if(NOT actual_stderr STREQUAL "" OR EXISTS "${CASE_DIR}/expected_stderr")
    file(WRITE "${CASE_DIR}/expected_stderr" "${actual_stderr}")
  endif()
  message(STATUS "updated ${CASE_DIR}")
  return()
endif()

set(failures "")

# Compares one stream with its expected file and shows a unified diff on mismatch.
function(compare_stream name actual expected_file)
  file(READ "${expected_file}" expected)
  if(NOT actual STREQUAL expected)
    set(actual_file "${WORK_DIR}/actual_${name}")
    file(WRITE "${actual_file}" "${actual}")
    execute_process(COMMAND diff -u "${expected_file}" "${actual_file}" OUTPUT_VARIABLE diff_text)
    message("---- ${name} differs (expected: ${expected_file}, actual: ${actual_file})\n${diff_text}")
    set(failures "${failures} ${name}" PARENT_SCOPE)
  endif()
endfunction()

compare_stream(stdout "${actual_stdout}" "${CASE_DIR}/expected")
if(EXISTS "${CASE_DIR}/expected_stderr")
  compare_stream(stderr "${actual_stderr}" "${CASE_DIR}/expected_stderr")
endif()

file(READ "${CASE_DIR}/status" expected_status)
string(STRIP "${expected_status}" expected_status)
if(NOT actual_status STREQUAL expected_status)
  message("---- exit status ${actual_status}, expected ${expected_status}\nstderr:\n${actual_stderr}")
  set(failures "${failures} status")
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "golden case ${CASE_DIR} failed:${failures}")
endif()
