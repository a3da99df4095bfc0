# Shared part of the toolchain files for another Debian architecture: Debian's
# cross compiler for TIFF_PROBES_GNU_TYPE, Debian's libraries for
# TIFF_PROBES_DEBIAN_ARCH unpacked by scripts/cross-sysroot, and user-mode
# QEMU (TIFF_PROBES_QEMU) to run what is built, with the sysroot as its
# library prefix. The cross compiler brings its own C and C++ libraries to
# link with; the sysroot supplies everything else and the loader and
# libraries that run the programs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER "${TIFF_PROBES_GNU_TYPE}-gcc")
set(CMAKE_CXX_COMPILER "${TIFF_PROBES_GNU_TYPE}-g++")
set(CMAKE_LIBRARY_ARCHITECTURE "${TIFF_PROBES_MULTIARCH}")

# With TIFF_PROBES_DEBIAN_SUITE (run-probes --debian SUITE --arch NAME), the
# libraries of that Debian release instead of the machine's own.
set(_sysroot_name "sysroot-${TIFF_PROBES_DEBIAN_ARCH}")
set(_fetch "${TIFF_PROBES_DEBIAN_ARCH}")
if(TIFF_PROBES_DEBIAN_SUITE)
  set(_sysroot_name "sysroot-${TIFF_PROBES_DEBIAN_SUITE}-${TIFF_PROBES_DEBIAN_ARCH}")
  set(_fetch "--debian ${TIFF_PROBES_DEBIAN_SUITE} ${TIFF_PROBES_DEBIAN_ARCH}")
endif()
get_filename_component(_sysroot "${CMAKE_CURRENT_LIST_DIR}/../build/${_sysroot_name}" ABSOLUTE)
set(TIFF_PROBES_SYSROOT "${_sysroot}" CACHE PATH "Debian's libraries for the target (scripts/cross-sysroot)")
# try_compile reads this file again, with the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TIFF_PROBES_SYSROOT TIFF_PROBES_DEBIAN_SUITE)
if(NOT EXISTS "${TIFF_PROBES_SYSROOT}/.complete")
  message(FATAL_ERROR "No sysroot at ${TIFF_PROBES_SYSROOT}: run scripts/cross-sysroot ${_fetch} first")
endif()

# Headers, libraries and CMake packages (TIFF, GTest) of the target only;
# programs (QEMU, valgrind, python3) of the build host.
set(CMAKE_FIND_ROOT_PATH "${TIFF_PROBES_SYSROOT}" "/usr/${TIFF_PROBES_GNU_TYPE}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${TIFF_PROBES_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
    "${TIFF_PROBES_SYSROOT}/usr/lib/${TIFF_PROBES_MULTIARCH}/pkgconfig:${TIFF_PROBES_SYSROOT}/usr/share/pkgconfig")

# The TIFF library's own dependencies are found in the sysroot when linking.
set(_rpath_link
    "-Wl,-rpath-link,${TIFF_PROBES_SYSROOT}/lib/${TIFF_PROBES_MULTIARCH}"
    "-Wl,-rpath-link,${TIFF_PROBES_SYSROOT}/usr/lib/${TIFF_PROBES_MULTIARCH}")
# Another release's library may need a newer C library than the cross
# compiler's: that release's own, from the sysroot, is linked instead.
if(TIFF_PROBES_DEBIAN_SUITE)
  set(CMAKE_SYSROOT "${TIFF_PROBES_SYSROOT}")
  list(PREPEND _rpath_link "-L${TIFF_PROBES_SYSROOT}/usr/lib/${TIFF_PROBES_MULTIARCH}"
       "-L${TIFF_PROBES_SYSROOT}/lib/${TIFF_PROBES_MULTIARCH}")
endif()
string(JOIN " " _rpath_link ${_rpath_link})
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_rpath_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_rpath_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_rpath_link}")

find_program(TIFF_PROBES_QEMU_PATH "${TIFF_PROBES_QEMU}" NO_CMAKE_FIND_ROOT_PATH)
if(NOT TIFF_PROBES_QEMU_PATH)
  message(FATAL_ERROR "${TIFF_PROBES_QEMU} not found (Debian: qemu-user-static)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR "${TIFF_PROBES_QEMU_PATH}" -L "${TIFF_PROBES_SYSROOT}")
