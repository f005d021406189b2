# velmo_add_test(NAME name SOURCES ... LIBS ... LABELS unit|integration|gui
#                [TIMEOUT s] [RESOURCE_LOCK lock] [GUI])
# Every test runs with its own HOME and TMPDIR (see run-isolated.sh), so the
# per-user data folder, preferences and Qt's shared-memory key files never
# leak between tests or into the developer's account.
set(VELMO_TEST_RUNNER ${CMAKE_CURRENT_LIST_DIR}/run-isolated.sh)

function(velmo_add_test)
    cmake_parse_arguments(T "GUI" "NAME;TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${T_NAME}
             COMMAND ${VELMO_TEST_RUNNER} $<TARGET_FILE:${T_NAME}>
             WORKING_DIRECTORY ${VELMO_STAGE_DIR}/bin)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set(_env "VELMO_STAGE_DIR=${VELMO_STAGE_DIR}" "QT_QPA_PLATFORM=offscreen"
             "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"
             "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${_env}")
    if(T_RESOURCE_LOCK)
        set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK ${T_RESOURCE_LOCK})
    endif()
endfunction()
