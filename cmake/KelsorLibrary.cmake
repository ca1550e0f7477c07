# kelsor_add_library(<name> SOURCES <files>… [PUBLIC <deps>…] [PRIVATE <deps>…])
# One static library per subsystem folder: kelsor_<name> with the alias
# kelsor::<name>, headers included from the top of the tree, and the shared
# options target linked publicly ahead of the given dependencies.
function(kelsor_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    if(NOT ARG_SOURCES)
        message(FATAL_ERROR "kelsor_add_library(${name}) needs SOURCES")
    endif()
    add_library(kelsor_${name} STATIC ${ARG_SOURCES})
    add_library(kelsor::${name} ALIAS kelsor_${name})
    target_include_directories(kelsor_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(kelsor_${name} PUBLIC kelsor::options ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
