# Another Debian release's TIFF library on this host's own architecture
# (scripts/run-probes --debian SUITE). Usage: scripts/cross-sysroot --debian
# SUITE ARCH (ARCH: dpkg --print-architecture), then
#   cmake -B build/debian-SUITE --toolchain cmake/debian-release.cmake \
#         -DTIFF_PROBES_DEBIAN_SUITE=SUITE
# The host's compiler builds against the sysroot's headers and links its C
# library; its newer libraries may need a newer C library than the host's, so
# every program is bound to the sysroot's own loader and libraries
# (PT_INTERP and DT_RPATH, which also covers the TIFF library's own
# dependencies) and runs as it is, without an emulator.
if(NOT TIFF_PROBES_DEBIAN_SUITE)
  message(FATAL_ERROR "cmake/debian-release.cmake needs -DTIFF_PROBES_DEBIAN_SUITE=SUITE")
endif()
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE _arch OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND g++ -print-multiarch OUTPUT_VARIABLE _multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)

get_filename_component(_sysroot
                       "${CMAKE_CURRENT_LIST_DIR}/../build/sysroot-${TIFF_PROBES_DEBIAN_SUITE}-${_arch}" ABSOLUTE)
set(TIFF_PROBES_SYSROOT "${_sysroot}" CACHE PATH "Debian's libraries of that release (scripts/cross-sysroot)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TIFF_PROBES_SYSROOT TIFF_PROBES_DEBIAN_SUITE)
if(NOT EXISTS "${TIFF_PROBES_SYSROOT}/.complete")
  message(FATAL_ERROR "No sysroot at ${TIFF_PROBES_SYSROOT}: run scripts/cross-sysroot "
                      "--debian ${TIFF_PROBES_DEBIAN_SUITE} ${_arch} first")
endif()
file(GLOB _loader "${TIFF_PROBES_SYSROOT}/lib*/ld-linux*.so.[0-9]")
if(NOT _loader)
  message(FATAL_ERROR "No dynamic loader in ${TIFF_PROBES_SYSROOT}")
endif()
list(GET _loader 0 _loader)

set(CMAKE_SYSROOT "${TIFF_PROBES_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH "${TIFF_PROBES_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${TIFF_PROBES_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
    "${TIFF_PROBES_SYSROOT}/usr/lib/${_multiarch}/pkgconfig:${TIFF_PROBES_SYSROOT}/usr/share/pkgconfig")

# The compiler's own search puts the host's library directory first; the
# sysroot's C library and start files come before it.
set(_dirs "${TIFF_PROBES_SYSROOT}/usr/lib/${_multiarch}" "${TIFF_PROBES_SYSROOT}/lib/${_multiarch}")
list(JOIN _dirs ":" _rpath)
set(_flags "-B${TIFF_PROBES_SYSROOT}/usr/lib/${_multiarch}/")
foreach(_dir IN LISTS _dirs)
  string(APPEND _flags " -L${_dir} -Wl,-rpath-link,${_dir}")
endforeach()
string(APPEND _flags " -Wl,--dynamic-linker=${_loader} -Wl,--disable-new-dtags -Wl,-rpath,${_rpath}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_flags}")
