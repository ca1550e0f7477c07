# The client's start-up and memory against a bare Qt Widgets window, each
# started on a private Xvfb (included from bench/CMakeLists.txt).
add_executable(kelsor-bare-window BareQtWindow.cpp)
target_link_libraries(kelsor-bare-window PRIVATE kelsor::options Qt6::Widgets)

target_sources(kelsor-bench PRIVATE DesktopSession.cpp StartupBench.cpp)
target_link_libraries(kelsor-bench PRIVATE PkgConfig::XCB)
target_compile_definitions(kelsor-bench PRIVATE
    KELSOR_PROGRAM_PATH="$<TARGET_FILE:KelsorOCR>"
    KELSOR_BARE_WINDOW_PATH="$<TARGET_FILE:kelsor-bare-window>")
add_dependencies(kelsor-bench KelsorOCR kelsor-bare-window)
