# i686 (Debian's i386): a little-endian 32-bit host, where the TIFF library's
# sizes are 32 bits wide. Usage: scripts/cross-sysroot i386, then
# cmake --preset i686 (or -DCMAKE_TOOLCHAIN_FILE=this file).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TIFF_PROBES_GNU_TYPE i686-linux-gnu)
set(TIFF_PROBES_MULTIARCH i386-linux-gnu)
set(TIFF_PROBES_DEBIAN_ARCH i386)
set(TIFF_PROBES_QEMU qemu-i386-static)
set(TIFF_PROBES_FILE_MACHINE "Intel 80386") # as file(1) names it
include("${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake")
