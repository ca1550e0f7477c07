include(GoogleTest)

# kelsor_add_gtest(<subsystem> <target> SOURCES ... LIBS ... [ENV VAR=value ...]
#                  [TIMEOUT seconds])
# Every discovered test is named "<subsystem>.<Suite>.<Case>" so that
# `ctest -R '^app\.'` runs one subsystem alone.
function(kelsor_add_gtest subsystem target)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE kelsor::options GTest::gtest GTest::gtest_main ${ARG_LIBS})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    if(KELSOR_ASAN)
        # Third-party libraries that keep their memory until exit are not
        # reported; the programs the tests start inherit the setting.
        list(APPEND ARG_ENV "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp")
    endif()
    if(ARG_ENV)
        # gtest_discover_tests flattens list-valued properties, so the
        # environment travels as a launcher that serves discovery and runs alike.
        set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${ARG_ENV}")
    endif()
    gtest_discover_tests(${target}
        TEST_PREFIX "${subsystem}."
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${subsystem}")
endfunction()
