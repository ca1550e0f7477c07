# The default engine's processor time per picture against Tesseract's, with
# its stage profile (included from bench/CMakeLists.txt).
target_sources(kelsor-bench PRIVATE EngineCpuBench.cpp)
if(TARGET kelsor_server_ppocr AND TARGET kelsor_ppocr_textpicture)
    target_link_libraries(kelsor-bench PRIVATE kelsor_server_ppocr kelsor_ppocr_textpicture)
    target_compile_definitions(kelsor-bench PRIVATE KELSOR_BENCH_HAVE_PPOCR=1)
endif()
# A lone request on all cores against one (needs the engine and its
# evaluation set).
if(TARGET kelsor_ppocr_lonerequest)
    target_sources(kelsor-bench PRIVATE SinglePictureBench.cpp)
    target_link_libraries(kelsor-bench PRIVATE kelsor_ppocr_lonerequest)
endif()
