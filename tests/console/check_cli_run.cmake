# cmake -DCOMMAND=<list> -DEXPECTED_STATUS=<n> -DEXPECTED_STREAM=stdout|stderr
#       -DPATTERN=<regex> -P check_cli_run.cmake
# Runs COMMAND and fails unless it exits with EXPECTED_STATUS, the named
# stream matches PATTERN and the other stream stays empty.
cmake_minimum_required(VERSION 3.25)

# An empty first element is the emulator of a native build.
list(FILTER COMMAND EXCLUDE REGEX "^$")
execute_process(COMMAND ${COMMAND}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output_text
    ERROR_VARIABLE error_text)
if(EXPECTED_STREAM STREQUAL "stdout")
    set(expected_text "${output_text}")
    set(other_text "${error_text}")
else()
    set(expected_text "${error_text}")
    set(other_text "${output_text}")
endif()

set(problems "")
if(NOT status STREQUAL EXPECTED_STATUS)
    string(APPEND problems "exit status ${status}, expected ${EXPECTED_STATUS}\n")
endif()
if(NOT expected_text MATCHES "${PATTERN}")
    string(APPEND problems "${EXPECTED_STREAM} does not match ${PATTERN}\n")
endif()
if(NOT other_text STREQUAL "")
    string(APPEND problems "the other stream is not empty\n")
endif()
if(problems)
    message(FATAL_ERROR "${COMMAND}\n${problems}stdout: [${output_text}]\nstderr: [${error_text}]")
endif()
