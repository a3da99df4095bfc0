// The library exports _TIFFRewriteField but ships no public header for it;
// this is its exact signature. The count is a tmsize_t (64-bit): declaring it
// narrower would leave the upper half of the argument register undefined.
#ifndef TIFF_PROBES_TIFF_REWRITE_H
#define TIFF_PROBES_TIFF_REWRITE_H

#include <cstdint>

#include <tiffio.h>

// NOLINTNEXTLINE(readability-identifier-naming): the library's own name
extern "C" int _TIFFRewriteField(TIFF *tif, uint16_t tag, TIFFDataType in_datatype, tmsize_t count,
                                 void *data);

#endif
