# varnock_add_lab_test(NAME <name> COMMAND <command> [args...])
#
# Registers a test that runs <command> inside a throwaway network namespace
# lab (tests/lab/run-in-lab.sh) as an unprivileged process. When the lab
# cannot be built the test is reported as skipped, unless the environment
# demands it (VARNOCK_REQUIRE_LAB=1, as CI sets), where it fails.
function(varnock_add_lab_test)
    cmake_parse_arguments(LAB "" "NAME" "COMMAND" ${ARGN})
    add_test(NAME ${LAB_NAME}
        COMMAND ${PROJECT_SOURCE_DIR}/tests/lab/run-in-lab.sh ${LAB_COMMAND})
    set_tests_properties(${LAB_NAME} PROPERTIES
        SKIP_RETURN_CODE 77
        LABELS lab
        TIMEOUT 300)
endfunction()
