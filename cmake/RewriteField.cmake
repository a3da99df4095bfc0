# strip_probe needs _TIFFRewriteField, an internal function of the TIFF
# library. Use the shared library when it exports it; otherwise, or when
# TIFF_PROBES_STATIC_TIFF asks for it, the static archive with the
# dependencies pkg-config lists for a static link. Sets
# TIFF_PROBES_REWRITE_LIBS (to link, with TIFF_INCLUDE_DIRS for the headers)
# and TIFF_PROBES_REWRITE_LINKAGE (shared or static).
include(CheckCXXSourceCompiles)
include(CMakePushCheckState)

set(_rewrite_check_source "
#include \"${PROJECT_SOURCE_DIR}/probes/support/tiff_rewrite.h\"
// A real call: comparing the function's address with null would be folded
// away and link without the symbol.
int main(int argc, char **)
{
    return argc > 9 ? _TIFFRewriteField(nullptr, 0, TIFF_LONG8, 0, nullptr) : 0;
}
")

if(NOT TIFF_PROBES_STATIC_TIFF)
  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_LIBRARIES TIFF::TIFF)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("${_rewrite_check_source}" TIFF_PROBES_SHARED_HAS_REWRITE)
  cmake_pop_check_state()
endif()

if(TIFF_PROBES_SHARED_HAS_REWRITE AND NOT TIFF_PROBES_STATIC_TIFF)
  set(TIFF_PROBES_REWRITE_LIBS TIFF::TIFF)
  set(TIFF_PROBES_REWRITE_LINKAGE shared)
else()
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(TIFF_PC QUIET libtiff-4)
  endif()
  list(GET TIFF_LIBRARIES 0 _tiff_lib)
  get_filename_component(_tiff_lib_dir "${_tiff_lib}" DIRECTORY)
  find_library(TIFF_PROBES_TIFF_ARCHIVE NAMES libtiff.a
               HINTS "${_tiff_lib_dir}" ${TIFF_PC_STATIC_LIBRARY_DIRS} NO_DEFAULT_PATH)
  find_library(TIFF_PROBES_TIFF_ARCHIVE NAMES libtiff.a)

  set(_static_deps ${TIFF_PC_STATIC_LIBRARIES})
  list(REMOVE_ITEM _static_deps tiff)
  list(REMOVE_DUPLICATES _static_deps)
  set(THREADS_PREFER_PTHREAD_FLAG ON)
  find_package(Threads REQUIRED)

  if(TIFF_PROBES_TIFF_ARCHIVE AND TIFF_PC_FOUND)
    cmake_push_check_state(RESET)
    set(CMAKE_REQUIRED_INCLUDES ${TIFF_INCLUDE_DIRS})
    set(CMAKE_REQUIRED_LINK_OPTIONS ${TIFF_PC_STATIC_LDFLAGS_OTHER})
    set(CMAKE_REQUIRED_LIBRARIES "${TIFF_PROBES_TIFF_ARCHIVE}" ${_static_deps} Threads::Threads)
    set(CMAKE_REQUIRED_QUIET ON)
    check_cxx_source_compiles("${_rewrite_check_source}" TIFF_PROBES_STATIC_HAS_REWRITE)
    cmake_pop_check_state()
  endif()

  if(NOT TIFF_PROBES_STATIC_HAS_REWRITE)
    message(FATAL_ERROR
      "The TIFF library does not provide _TIFFRewriteField, which strip_probe needs: "
      "the shared library (${TIFF_LIBRARIES}) does not export it, and no static "
      "archive libtiff.a with its pkg-config (libtiff-4) dependencies links it "
      "(archive: ${TIFF_PROBES_TIFF_ARCHIVE}).")
  endif()
  set(TIFF_PROBES_REWRITE_LIBS "${TIFF_PROBES_TIFF_ARCHIVE}" ${_static_deps} Threads::Threads)
  set(TIFF_PROBES_REWRITE_LINKAGE static)
endif()
message(STATUS "_TIFFRewriteField comes from the ${TIFF_PROBES_REWRITE_LINKAGE} TIFF library")
