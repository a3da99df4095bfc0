// Read-back checks shared by the SHORT and LONG field probes.
#ifndef TIFF_PROBES_FIELD_EXPECT_H
#define TIFF_PROBES_FIELD_EXPECT_H

#include <cstdint>

#include <tiffio.h>

// Each check fetches one field of the current directory of `tif` and
// compares it with the expectation. It returns 0 on a match and -1 otherwise,
// after printing one line on stderr. The handle is only borrowed.
int CheckShortField(TIFF *tif, ttag_t field, uint16_t value);
// `values` points at two consecutive SHORTs: first, then second.
int CheckShortPairedField(TIFF *tif, ttag_t field, const uint16_t *values);
int CheckLongField(TIFF *tif, ttag_t field, uint32_t value);

#endif
