# s390x: a big-endian 64-bit host. Usage: scripts/cross-sysroot s390x, then
# cmake --preset s390x (or -DCMAKE_TOOLCHAIN_FILE=this file).
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TIFF_PROBES_GNU_TYPE s390x-linux-gnu)
set(TIFF_PROBES_MULTIARCH s390x-linux-gnu)
set(TIFF_PROBES_DEBIAN_ARCH s390x)
set(TIFF_PROBES_QEMU qemu-s390x-static)
set(TIFF_PROBES_FILE_MACHINE "IBM S/390") # as file(1) names it
include("${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake")
