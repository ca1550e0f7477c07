# Every external library is found once, here, as a GLOBAL imported target so
# that each subsystem folder only links what it needs.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(CURL REQUIRED IMPORTED_TARGET GLOBAL libcurl)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET GLOBAL jsoncpp)
pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET GLOBAL libcrypto++)
pkg_check_modules(LIBEVENT REQUIRED IMPORTED_TARGET GLOBAL libevent libevent_pthreads)
pkg_check_modules(TESSERACT REQUIRED IMPORTED_TARGET GLOBAL tesseract lept)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET GLOBAL sqlite3)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET GLOBAL libzip)
# Debian's cpp-httplib is a compiled library: its pkg-config flags carry the
# defines (OpenSSL, zlib, brotli) that its class layouts were built with.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)
pkg_check_modules(OPENSSL REQUIRED IMPORTED_TARGET GLOBAL openssl)
pkg_check_modules(OPENCV IMPORTED_TARGET GLOBAL opencv4)

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
set(CMAKE_AUTOMOC OFF)
