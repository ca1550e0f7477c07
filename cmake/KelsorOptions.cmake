# One INTERFACE target carries the language level, warnings and defines that
# every target of the project shares.
option(KELSOR_ASAN "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KELSOR_TSAN "Build with ThreadSanitizer" OFF)
option(KELSOR_WERROR "Treat warnings as errors" OFF)

if(KELSOR_ASAN AND KELSOR_TSAN)
    message(FATAL_ERROR "KELSOR_ASAN and KELSOR_TSAN cannot be combined")
endif()

add_library(kelsor_options INTERFACE)
add_library(kelsor::options ALIAS kelsor_options)
target_compile_features(kelsor_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
# The same warnings for C and C++; C++ adds the checks of class design.
target_compile_options(kelsor_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wformat=2
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>
    $<$<BOOL:${KELSOR_WERROR}>:-Werror>)
target_compile_definitions(kelsor_options INTERFACE
    QT_DISABLE_DEPRECATED_BEFORE=0x060000
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    _FILE_OFFSET_BITS=64)

if(KELSOR_ASAN)
    target_compile_options(kelsor_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(kelsor_options INTERFACE -fsanitize=address,undefined)
endif()
if(KELSOR_TSAN)
    target_compile_options(kelsor_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(kelsor_options INTERFACE -fsanitize=thread)
endif()
