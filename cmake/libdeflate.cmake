# libdeflate as a static library built from Debian's source package, which scripts/install-deps
# unpacks and checks; the installer's build and the fuzz targets compile it with their own flags.
# Defines the target `libdeflate_static`.
set(LIBDEFLATE_EXPECTED_VERSION 1.14)
get_filename_component(LIBDEFLATE_REPO_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(LIBDEFLATE_SOURCE_DIR "${LIBDEFLATE_REPO_ROOT}/build-deps/libdeflate" CACHE PATH
    "Unpacked Debian source package of libdeflate (scripts/install-deps makes it)")
set(libdeflate_header "${LIBDEFLATE_SOURCE_DIR}/libdeflate.h")
if(NOT EXISTS "${libdeflate_header}")
    message(FATAL_ERROR "No libdeflate source in ${LIBDEFLATE_SOURCE_DIR}: run scripts/install-deps")
endif()
file(STRINGS "${libdeflate_header}" libdeflate_version_line
     REGEX "^#define LIBDEFLATE_VERSION_STRING")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" libdeflate_version "${libdeflate_version_line}")
if(NOT libdeflate_version STREQUAL LIBDEFLATE_EXPECTED_VERSION)
    message(FATAL_ERROR "libdeflate ${libdeflate_version} in ${LIBDEFLATE_SOURCE_DIR}; the build "
                        "expects ${LIBDEFLATE_EXPECTED_VERSION}: run scripts/install-deps")
endif()

enable_language(C)
set(libdeflate_lib "${LIBDEFLATE_SOURCE_DIR}/lib")
add_library(libdeflate_static STATIC
    ${libdeflate_lib}/adler32.c ${libdeflate_lib}/utils.c ${libdeflate_lib}/x86/cpu_features.c
    ${libdeflate_lib}/deflate_decompress.c ${libdeflate_lib}/zlib_decompress.c
    ${libdeflate_lib}/deflate_compress.c ${libdeflate_lib}/zlib_compress.c
    ${libdeflate_lib}/gzip_compress.c ${libdeflate_lib}/crc32.c)
set_target_properties(libdeflate_static PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
target_include_directories(libdeflate_static SYSTEM PUBLIC ${LIBDEFLATE_SOURCE_DIR})
