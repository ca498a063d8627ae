# zstd as a static library built from Debian's source package, which scripts/install-deps unpacks
# and checks; the installer's build and the fuzz targets compile it with their own flags.
# Defines the target `libzstd_static`: the decoder only, unless ZSTD_WITH_COMPRESSOR is set before
# this file is included (the fuzz build, which also links the packer).
set(ZSTD_EXPECTED_VERSION 1.5.4)
set(ZSTD_EXPECTED_DEBIAN_VERSION 1.5.4+dfsg2-5)
get_filename_component(ZSTD_REPO_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(ZSTD_SOURCE_DIR "${ZSTD_REPO_ROOT}/build-deps/zstd" CACHE PATH
    "Unpacked Debian source package of zstd (scripts/install-deps makes it)")
set(zstd_header "${ZSTD_SOURCE_DIR}/lib/zstd.h")
if(NOT EXISTS "${zstd_header}")
    message(FATAL_ERROR "No zstd source in ${ZSTD_SOURCE_DIR}: run scripts/install-deps")
endif()
set(zstd_version)
foreach(part MAJOR MINOR RELEASE)
    file(STRINGS "${zstd_header}" zstd_version_line REGEX "^#define ZSTD_VERSION_${part} +[0-9]+")
    string(REGEX REPLACE ".* ([0-9]+).*" "\\1" zstd_version_part "${zstd_version_line}")
    list(APPEND zstd_version "${zstd_version_part}")
endforeach()
list(JOIN zstd_version "." zstd_version)
# The header cannot tell Debian's revisions of one upstream version apart; the unpacker's stamp can.
set(zstd_debian_version)
if(EXISTS "${ZSTD_SOURCE_DIR}/.debian-version")
    file(STRINGS "${ZSTD_SOURCE_DIR}/.debian-version" zstd_debian_version LIMIT_COUNT 1)
endif()
if(NOT zstd_version STREQUAL ZSTD_EXPECTED_VERSION
   OR NOT zstd_debian_version STREQUAL ZSTD_EXPECTED_DEBIAN_VERSION)
    message(FATAL_ERROR "zstd ${zstd_version} (Debian '${zstd_debian_version}') in "
                        "${ZSTD_SOURCE_DIR}; the build expects ${ZSTD_EXPECTED_DEBIAN_VERSION}: "
                        "run scripts/install-deps")
endif()

enable_language(C)
set(zstd_lib "${ZSTD_SOURCE_DIR}/lib")
file(GLOB zstd_sources ${zstd_lib}/common/*.c ${zstd_lib}/decompress/*.c)
if(ZSTD_WITH_COMPRESSOR)
    file(GLOB zstd_compress_sources ${zstd_lib}/compress/*.c)
    list(APPEND zstd_sources ${zstd_compress_sources})
endif()
add_library(libzstd_static STATIC ${zstd_sources})
set_target_properties(libzstd_static PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
# No legacy frame formats, no threads, no tracing hooks. The Huffman decoder's assembly is left out
# everywhere: the headers already leave it out of the MinGW build, and the fuzz build then checks
# the same C path the installer runs, instrumented.
target_compile_definitions(libzstd_static PRIVATE ZSTD_LEGACY_SUPPORT=0 ZSTD_DISABLE_ASM
                                                  ZSTD_TRACE=0)
target_include_directories(libzstd_static SYSTEM PUBLIC ${zstd_lib})
