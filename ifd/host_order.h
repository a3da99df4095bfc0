// The host's byte order: the one fact that every part of the suite compares
// a file's byte order with (the reader, the probes, the runner's host
// entries and the tests), kept here once.
#ifndef TIFF_PROBES_HOST_ORDER_H
#define TIFF_PROBES_HOST_ORDER_H

namespace ifd {

constexpr bool host_big_endian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

} // namespace ifd

#endif
