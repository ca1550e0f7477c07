find_package(GTest REQUIRED)
include(GoogleTest)

# kelsor_add_gtest(<subsystem> <target> SOURCES ... LIBS ...)
# Every discovered test is named "<subsystem>.<Suite>.<Case>" so that
# `ctest -R '^app\.'` runs one subsystem alone.
function(kelsor_add_gtest subsystem target)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE kelsor::options GTest::gtest GTest::gtest_main ${ARG_LIBS})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    gtest_discover_tests(${target}
        TEST_PREFIX "${subsystem}."
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${subsystem};${ARG_LABELS}" ENVIRONMENT "${ARG_ENV}")
endfunction()
