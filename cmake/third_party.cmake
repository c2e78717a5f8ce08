# The libraries the Windows builds compile themselves: lz4 and zstd for
# compressed traces, libpng (on mingw-w64's zlib) for PNG files. Their
# sources are Debian's source packages, which scripts/deps.sh fetches into
# KX_THIRD_PARTY_DIR (outside git); they become static libraries, so that
# every program and DLL still imports nothing but system DLLs. On Linux the
# system's own packages serve instead.
set(KX_THIRD_PARTY_DIR ${CMAKE_SOURCE_DIR}/build/third_party
    CACHE PATH "Sources of lz4, zstd and libpng for the Windows builds (scripts/deps.sh)")

enable_language(C)

foreach(package lz4 zstd libpng)
  if(NOT EXISTS ${KX_THIRD_PARTY_DIR}/${package}/.kx-fetched)
    message(FATAL_ERROR "The ${package} sources are not in ${KX_THIRD_PARTY_DIR}/${package}: "
                        "run scripts/deps.sh, which fetches them")
  endif()
endforeach()

# Their own code is theirs: built as they ship it, without our warnings.
function(kx_third_party_library name folder)
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE -w -O2)
  target_include_directories(${name} SYSTEM PUBLIC ${folder})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE OFF)
endfunction()

set(lz4 ${KX_THIRD_PARTY_DIR}/lz4/lib)
kx_third_party_library(kx_lz4 ${lz4} ${lz4}/lz4.c ${lz4}/lz4frame.c ${lz4}/lz4hc.c
                       ${lz4}/xxhash.c)

# zstd without its legacy formats, its dictionary builder, its threads and its
# hand-written x86-64 assembler (ELF-only).
set(zstd ${KX_THIRD_PARTY_DIR}/zstd/lib)
file(GLOB zstd_sources ${zstd}/common/*.c ${zstd}/compress/*.c ${zstd}/decompress/*.c)
kx_third_party_library(kx_zstd ${zstd} ${zstd_sources})
target_compile_definitions(kx_zstd PRIVATE ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0
                                           XXH_NAMESPACE=ZSTD_)

# mingw-w64's zlib (libz-mingw-w64-dev), its static library by name: the
# toolchain would otherwise pick the import library of zlib1.dll.
find_library(KX_ZLIB_STATIC NAMES libz.a REQUIRED
             DOC "zlib for the Windows builds (libz-mingw-w64-dev)")
find_path(KX_ZLIB_INCLUDE zlib.h REQUIRED)
add_library(kx_zlib STATIC IMPORTED)
set_target_properties(kx_zlib PROPERTIES IMPORTED_LOCATION ${KX_ZLIB_STATIC}
                                         INTERFACE_INCLUDE_DIRECTORIES ${KX_ZLIB_INCLUDE})

set(png ${KX_THIRD_PARTY_DIR}/libpng)
configure_file(${png}/scripts/pnglibconf.h.prebuilt
               ${CMAKE_BINARY_DIR}/third_party/libpng/pnglibconf.h COPYONLY)
set(png_sources)
foreach(part png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans
             pngwio pngwrite pngwtran pngwutil)
  list(APPEND png_sources ${png}/${part}.c)
endforeach()
kx_third_party_library(kx_png ${png} ${png_sources})
target_include_directories(kx_png SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/third_party/libpng)
target_link_libraries(kx_png PUBLIC kx_zlib)
