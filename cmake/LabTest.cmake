# varnock_add_lab_test(NAME <name> COMMAND <command> [args...])
#
# Registers a test that runs <command> inside a throwaway network namespace
# lab (tests/lab/run-in-lab.sh) as an unprivileged process. When the lab
# cannot be built the test is reported as skipped, unless the environment
# demands it (VARNOCK_REQUIRE_LAB=1, as CI sets), where it fails.
#
# The kernel's neighbour table is one for every namespace on the machine, so
# every lab test takes the lock `neighbour_table`: a test that fills the
# table must never overlap one that looks up (or measures) through it.
function(varnock_add_lab_test)
    cmake_parse_arguments(LAB "" "NAME" "COMMAND" ${ARGN})
    add_test(NAME ${LAB_NAME}
        COMMAND ${PROJECT_SOURCE_DIR}/tests/lab/run-in-lab.sh ${LAB_COMMAND})
    set_tests_properties(${LAB_NAME} PROPERTIES
        SKIP_RETURN_CODE 77
        LABELS lab
        RESOURCE_LOCK neighbour_table
        TIMEOUT 300)
endfunction()
