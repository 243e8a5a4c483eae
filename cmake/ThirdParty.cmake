# The engine's compression libraries as four targets: Parcelo::bzip2, Parcelo::lzma,
# Parcelo::zstd and Parcelo::deflate, and its crypto library, Parcelo::nettle (AES, SHA-1,
# HMAC, PBKDF2; the public-key half is not built). Natively they are Debian's packages
# (scripts/deps). The Windows trees link static archives that scripts/thirdparty cross-builds
# from Debian's source packages into build/thirdparty/<triplet>/, so that the DLLs stand
# alone.

# Target suffix, header, library name natively, static archive in the Windows trees.
set(parcelo_thirdparty
  bzip2:bzlib.h:bz2:libbz2.a
  lzma:lzma.h:lzma:liblzma.a
  zstd:zstd.h:zstd:libzstd.a
  deflate:libdeflate.h:deflate:libdeflate.a
  nettle:nettle/aes.h:nettle:libnettle.a)

if(PARCELO_WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(parcelo_triplet i686-w64-mingw32)
  else()
    set(parcelo_triplet x86_64-w64-mingw32)
  endif()
  set(PARCELO_THIRDPARTY_DIR ${PROJECT_SOURCE_DIR}/build/thirdparty/${parcelo_triplet}
    CACHE PATH "The cross-built compression libraries (include/, lib/) for this tree")
endif()

foreach(tp_entry ${parcelo_thirdparty})
  string(REPLACE ":" ";" tp_entry "${tp_entry}")
  list(GET tp_entry 0 tp_name)
  list(GET tp_entry 1 tp_header)
  list(GET tp_entry 2 tp_native)
  list(GET tp_entry 3 tp_archive)
  if(PARCELO_WIN32)
    set(tp_dir ${PARCELO_THIRDPARTY_DIR})
    if(NOT EXISTS ${tp_dir}/include/${tp_header} OR NOT EXISTS ${tp_dir}/lib/${tp_archive})
      message(FATAL_ERROR "${tp_dir} lacks ${tp_header} or lib/${tp_archive}: "
        "run scripts/thirdparty ${parcelo_triplet} (scripts/build does) to build the "
        "compression libraries for this tree")
    endif()
    add_library(Parcelo::${tp_name} STATIC IMPORTED GLOBAL)
    set_target_properties(Parcelo::${tp_name} PROPERTIES
      IMPORTED_LOCATION ${tp_dir}/lib/${tp_archive}
      INTERFACE_INCLUDE_DIRECTORIES ${tp_dir}/include)
  else()
    find_path(PARCELO_${tp_name}_INCLUDE_DIR ${tp_header})
    find_library(PARCELO_${tp_name}_LIBRARY ${tp_native})
    if(NOT PARCELO_${tp_name}_INCLUDE_DIR OR NOT PARCELO_${tp_name}_LIBRARY)
      message(FATAL_ERROR "${tp_header} or the library ${tp_native} was not found: "
        "run scripts/deps to install the compression libraries' development packages")
    endif()
    add_library(Parcelo::${tp_name} UNKNOWN IMPORTED GLOBAL)
    set_target_properties(Parcelo::${tp_name} PROPERTIES
      IMPORTED_LOCATION ${PARCELO_${tp_name}_LIBRARY}
      INTERFACE_INCLUDE_DIRECTORIES ${PARCELO_${tp_name}_INCLUDE_DIR})
  endif()
endforeach()

if(PARCELO_WIN32)
  # Without it lzma.h declares every function as imported from liblzma.dll.
  set_target_properties(Parcelo::lzma PROPERTIES INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
endif()
